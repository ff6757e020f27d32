// A one-thread HTTP server on 127.0.0.1 that answers every request with the same body, for the
// fetch check. It counts the requests it answered.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace kit_host {

class LoopbackServer {
 public:
  explicit LoopbackServer(std::string body);
  ~LoopbackServer();                       // stops accepting and joins its thread
  uint16_t port() const { return port_; }  // 0 when it could not listen
  int answered() const { return answered_.load(); }

 private:
  void Serve();
  std::string body_;
  intptr_t listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> answered_{0};
  std::thread thread_;
};

}  // namespace kit_host
