// BenchHttpServer: a small, fast HTTP/1.1 server on 127.0.0.1 for benchmarks (Linux, epoll, one
// thread). Every request for "/b/<n>" is answered "200 ok" and the connection closed; the time
// its last byte left is kept for request n, so latencies can be measured from there.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace bench {

class BenchHttpServer {
 public:
  // Room for `slots` request numbers; larger numbers are answered but not timed.
  explicit BenchHttpServer(size_t slots);
  ~BenchHttpServer();
  BenchHttpServer(const BenchHttpServer&) = delete;
  BenchHttpServer& operator=(const BenchHttpServer&) = delete;

  bool ok() const { return listen_fd_ >= 0; }
  int port() const { return port_; }
  // Steady-clock nanoseconds when the answer to request `n` was sent; 0 before.
  int64_t SentAt(size_t n) const;
  void ClearTimes();

 private:
  void Loop();

  int listen_fd_ = -1;
  int epoll_fd_ = -1;
  int wake_fd_ = -1;
  int port_ = 0;
  std::unique_ptr<std::atomic<int64_t>[]> sent_;
  size_t slots_;
  std::thread thread_;
};

int64_t NowNs();

}  // namespace bench
