#include "bench_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>

namespace bench {

namespace {

int Listen(sockaddr* addr, socklen_t len) {
  const int fd = socket(addr->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  if (addr->sa_family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof(one));
  if (bind(fd, addr, len) != 0 || listen(fd, 1024) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void Watch(int epoll_fd, int fd) {
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = fd;
  epoll_ctl(epoll_fd, EPOLL_CTL_ADD, fd, &ev);
}

std::string AnswerFor(size_t n) {
  const std::string body = BenchHttpServer::BodyFor(n);
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

std::string BenchHttpServer::BodyFor(size_t n) {
  return "answer " + std::to_string(n);
}

BenchHttpServer::BenchHttpServer() {
  sockaddr_in addr4{};
  addr4.sin_family = AF_INET;
  addr4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  listen4_ = Listen(reinterpret_cast<sockaddr*>(&addr4), sizeof(addr4));
  if (listen4_ < 0) return;
  socklen_t len = sizeof(addr4);
  getsockname(listen4_, reinterpret_cast<sockaddr*>(&addr4), &len);
  port_ = ntohs(addr4.sin_port);
  sockaddr_in6 addr6{};
  addr6.sin6_family = AF_INET6;
  addr6.sin6_addr = in6addr_loopback;
  addr6.sin6_port = htons(static_cast<uint16_t>(port_));
  listen6_ = Listen(reinterpret_cast<sockaddr*>(&addr6), sizeof(addr6));  // -1 without IPv6
  epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
  wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  Watch(epoll_fd_, listen4_);
  if (listen6_ >= 0) Watch(epoll_fd_, listen6_);
  Watch(epoll_fd_, wake_fd_);
  thread_ = std::thread([this] { Loop(); });
}

BenchHttpServer::~BenchHttpServer() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    if (write(wake_fd_, &one, sizeof(one)) < 0) std::abort();
    thread_.join();
  }
  for (int fd : {wake_fd_, epoll_fd_, listen4_, listen6_}) {
    if (fd >= 0) close(fd);
  }
}

void BenchHttpServer::Accept(int listen_fd) {
  for (;;) {
    const int client = accept4(listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0) return;
    Watch(epoll_fd_, client);
  }
}

void BenchHttpServer::Loop() {
  std::map<int, std::string> connections;  // fd -> what it sent so far
  epoll_event events[64];
  for (;;) {
    const int n = epoll_wait(epoll_fd_, events, 64, -1);
    for (int i = 0; i < n; ++i) {
      const int fd = events[i].data.fd;
      if (fd == wake_fd_) {
        for (auto& c : connections) close(c.first);
        return;
      }
      if (fd == listen4_ || fd == listen6_) {
        Accept(fd);
        continue;
      }
      std::string& in = connections[fd];
      char buffer[4096];
      bool closed = false;
      for (;;) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got > 0) {
          in.append(buffer, static_cast<size_t>(got));
          if (in.size() > 65536) closed = true;
          continue;
        }
        if (got == 0) closed = true;
        break;
      }
      if (!closed && in.find("\r\n\r\n") != std::string::npos) {
        size_t request = 0;
        const auto path = in.find(" /b/");
        if (path != std::string::npos) request = std::strtoull(in.c_str() + path + 4, nullptr, 10);
        // The answer is far smaller than a socket buffer: one write sends it whole.
        const std::string answer = AnswerFor(request);
        if (send(fd, answer.data(), answer.size(), MSG_NOSIGNAL) < 0) closed = true;
        closed = true;
      }
      if (closed) {
        epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, fd, nullptr);
        close(fd);
        connections.erase(fd);
      }
    }
  }
}

}  // namespace bench
