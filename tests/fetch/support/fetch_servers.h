// The loopback servers of the KuvoFetch tests (tests/fetch/servers/fetch_servers.py).
//
// Under CTest a fixture starts them and names their ports file in KUVO_FETCH_SERVERS_FILE, so
// the Linux and the wine-run Windows binaries share them. A binary started by hand on Linux
// starts its own set and stops it at exit.
#pragma once

#include <string>

namespace fetch_test {

struct Servers {
  int http = 0;
  int https = 0;
  int silent = 0;   // accepts and never answers
  int reset = 0;    // resets each connection after reading the request
  int proxy = 0;    // tinyproxy (CONNECT)
  int backlog = 0;  // queue full, never accepts: connecting neither succeeds nor is refused
  std::string proxy_log;
  bool ok = false;
  std::string error;
};

// Starts or finds the servers once per process.
const Servers& GetServers();

std::string HttpUrl(const std::string& path);
std::string HttpsUrl(const std::string& path);

// A key no other test, binary or run shares.
std::string NewKey(const char* tag);

// A plain GET through libcurl for talking to the servers' control paths; returns the body, or
// "<error N>" when the transfer failed.
std::string Probe(const std::string& url);

// Reads the whole file (empty when it cannot be read).
std::string ReadFileText(const std::string& path);

}  // namespace fetch_test
