// BenchHttpServer: a small, fast HTTP/1.1 server on the loopback addresses for benchmarks (Linux,
// epoll, one thread). Listens on 127.0.0.1 and, when the system has it, on ::1 with the same
// port, so that "localhost" reaches it whichever address a client tries first. Every request
// for "/b/<n>" is answered 200 with the body BodyFor(n) and the connection is closed.
#pragma once

#include <cstddef>
#include <string>
#include <thread>

namespace bench {

class BenchHttpServer {
 public:
  BenchHttpServer();
  ~BenchHttpServer();
  BenchHttpServer(const BenchHttpServer&) = delete;
  BenchHttpServer& operator=(const BenchHttpServer&) = delete;

  bool ok() const { return listen4_ >= 0; }
  int port() const { return port_; }

  // The body the server sends for request `n`; clients check every answer against it.
  static std::string BodyFor(size_t n);

 private:
  void Loop();
  void Accept(int listen_fd);

  int listen4_ = -1;
  int listen6_ = -1;
  int epoll_fd_ = -1;
  int wake_fd_ = -1;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace bench
