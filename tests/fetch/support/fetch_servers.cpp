#include "fetch_servers.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace fetch_test {

namespace {

#if !defined(_WIN32)
std::string g_own_dir;
void StopOwnServers() {
  const std::string command =
      std::string("python3 '") + KUVO_FETCH_SERVERS_SCRIPT + "' stop --dir '" + g_own_dir + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "stopping servers failed\n");
  std::error_code ignored;
  std::filesystem::remove_all(g_own_dir, ignored);
}
#endif

std::string FindServersFile(Servers* servers) {
  if (const char* named = std::getenv("KUVO_FETCH_SERVERS_FILE")) {
    if (*named) return named;
  }
#if defined(_WIN32)
  servers->error = "KUVO_FETCH_SERVERS_FILE is not set (run through ctest)";
  return std::string();
#else
  // A folder of this run's own under the system's temporary folder (TMPDIR when set).
  const char* tmp = std::getenv("TMPDIR");
  std::string dir_template = std::string(tmp && *tmp ? tmp : "/tmp") + "/kuvo-fetch-servers-XXXXXX";
  if (!mkdtemp(&dir_template[0])) {
    servers->error = "mkdtemp failed in " + dir_template;
    return std::string();
  }
  g_own_dir = dir_template;
  const std::string command = std::string("python3 '") + KUVO_FETCH_SERVERS_SCRIPT +
                              "' start --lifetime 900 --dir '" + g_own_dir + "' > /dev/null";
  if (std::system(command.c_str()) != 0) {
    servers->error = "could not start " KUVO_FETCH_SERVERS_SCRIPT;
    return std::string();
  }
  std::atexit(&StopOwnServers);
  return g_own_dir + "/servers.txt";
#endif
}

Servers LoadServers() {
  Servers servers;
  const std::string path = FindServersFile(&servers);
  if (path.empty()) return servers;
  std::string text = ReadFileText(path);
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (name == "proxy_log") {
      servers.proxy_log = value;
      continue;
    }
    const int port = std::atoi(value.c_str());
    if (name == "http") servers.http = port;
    if (name == "https") servers.https = port;
    if (name == "silent") servers.silent = port;
    if (name == "reset") servers.reset = port;
    if (name == "proxy") servers.proxy = port;
    if (name == "backlog") servers.backlog = port;
  }
  servers.ok = servers.http && servers.https && servers.silent && servers.reset && servers.proxy &&
               servers.backlog;
  if (!servers.ok && servers.error.empty()) servers.error = "incomplete servers file " + path;
  return servers;
}

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

}  // namespace

const Servers& GetServers() {
  static const Servers servers = LoadServers();
  return servers;
}

std::string HttpUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(GetServers().http) + path;
}

std::string HttpsUrl(const std::string& path) {
  return "https://127.0.0.1:" + std::to_string(GetServers().https) + path;
}

std::string NewKey(const char* tag) {
  static std::atomic<int> counter{0};
  static const long long run = std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
  return std::string(tag) + "-" + std::to_string(run) + "-" + std::to_string(++counter);
}

std::string Probe(const std::string& url) {
  std::string body;
  CURL* easy = curl_easy_init();
  if (!easy) return "<error init>";
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT, 40L);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  const CURLcode result = curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  if (result != CURLE_OK) return "<error " + std::to_string(result) + ">";
  return body;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
#if defined(_WIN32)
  // Paths written by the Linux-side servers: wine shows the Linux root as drive Z:.
  if (!in && !path.empty() && path[0] == '/') in.open("Z:" + path, std::ios::binary);
#endif
  if (!in) return std::string();
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace fetch_test
