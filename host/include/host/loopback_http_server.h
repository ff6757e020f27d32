// A small HTTP server on 127.0.0.1 for demos: one thread, one connection at a time. Each request
// (its headers and a body of Content-Length bytes, read whole) is answered with the response
// bytes that `respond` returns for it, then the connection is closed.
//
// `respond` runs on the server's thread. The destructor stops the thread and closes the socket.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace host {

class LoopbackHttpServer {
 public:
  using Respond = std::function<std::string(const std::string& request)>;

  explicit LoopbackHttpServer(Respond respond);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // The port it listens on; 0 when it could not listen.
  int port() const { return port_; }

 private:
  void Serve();

  Respond respond_;
  intptr_t listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace host
