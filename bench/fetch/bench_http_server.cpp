#include "bench_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace bench {

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

namespace {
constexpr char kAnswer[] =
    "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Type: text/plain\r\nConnection: close\r\n"
    "\r\nok";

struct Connection {
  std::string in;
};
}  // namespace

BenchHttpServer::BenchHttpServer(size_t slots)
    : sent_(new std::atomic<int64_t>[slots]), slots_(slots) {
  ClearTimes();
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) return;
  int one = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof(addr);
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      listen(listen_fd_, 1024) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(listen_fd_);
    listen_fd_ = -1;
    return;
  }
  port_ = ntohs(addr.sin_port);
  epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
  wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = listen_fd_;
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, listen_fd_, &ev);
  ev.data.fd = wake_fd_;
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &ev);
  thread_ = std::thread([this] { Loop(); });
}

BenchHttpServer::~BenchHttpServer() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    if (write(wake_fd_, &one, sizeof(one)) < 0) std::abort();
    thread_.join();
  }
  if (wake_fd_ >= 0) close(wake_fd_);
  if (epoll_fd_ >= 0) close(epoll_fd_);
  if (listen_fd_ >= 0) close(listen_fd_);
}

int64_t BenchHttpServer::SentAt(size_t n) const {
  return n < slots_ ? sent_[n].load(std::memory_order_acquire) : 0;
}

void BenchHttpServer::ClearTimes() {
  for (size_t i = 0; i < slots_; ++i) sent_[i].store(0, std::memory_order_relaxed);
}

void BenchHttpServer::Loop() {
  std::map<int, Connection> connections;
  epoll_event events[64];
  for (;;) {
    const int n = epoll_wait(epoll_fd_, events, 64, -1);
    for (int i = 0; i < n; ++i) {
      const int fd = events[i].data.fd;
      if (fd == wake_fd_) {
        for (auto& c : connections) close(c.first);
        return;
      }
      if (fd == listen_fd_) {
        for (;;) {
          const int client = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
          if (client < 0) break;
          epoll_event ev{};
          ev.events = EPOLLIN;
          ev.data.fd = client;
          epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, client, &ev);
          connections[client];
        }
        continue;
      }
      auto it = connections.find(fd);
      if (it == connections.end()) continue;
      char buffer[4096];
      bool closed = false;
      for (;;) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got > 0) {
          it->second.in.append(buffer, static_cast<size_t>(got));
          if (it->second.in.size() > 65536) closed = true;
          continue;
        }
        if (got == 0) closed = true;
        break;
      }
      const std::string& in = it->second.in;
      if (!closed && in.find("\r\n\r\n") != std::string::npos) {
        size_t slot = slots_;
        const auto path = in.find(" /b/");
        if (path != std::string::npos) slot = std::strtoull(in.c_str() + path + 4, nullptr, 10);
        // The answer is far smaller than a socket buffer: one write sends it whole.
        const ssize_t sent = send(fd, kAnswer, sizeof(kAnswer) - 1, MSG_NOSIGNAL);
        if (sent == static_cast<ssize_t>(sizeof(kAnswer) - 1) && slot < slots_) {
          sent_[slot].store(NowNs(), std::memory_order_release);
        }
        closed = true;
      }
      if (closed) {
        epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, fd, nullptr);
        close(fd);
        connections.erase(it);
      }
    }
  }
}

}  // namespace bench
