#include "loopback_server.h"

#include <cstring>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
using socket_t = SOCKET;
#define KIT_CLOSE closesocket
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using socket_t = int;
#define KIT_CLOSE close
#endif

namespace kit_host {

namespace {

bool WaitReadable(socket_t s, int ms) {
#if defined(_WIN32)
  WSAPOLLFD p{s, POLLRDNORM, 0};
  return WSAPoll(&p, 1, ms) > 0;
#else
  pollfd p{s, POLLIN, 0};
  return poll(&p, 1, ms) > 0;
#endif
}

}  // namespace

LoopbackServer::LoopbackServer(std::string body) : body_(std::move(body)) {
#if defined(_WIN32)
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
#endif
  socket_t s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(s, 8) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    KIT_CLOSE(s);
    return;
  }
  listener_ = static_cast<intptr_t>(s);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != -1) KIT_CLOSE(static_cast<socket_t>(listener_));
#if defined(_WIN32)
  WSACleanup();
#endif
}

void LoopbackServer::Serve() {
  const socket_t listener = static_cast<socket_t>(listener_);
  while (!stopping_) {
    if (!WaitReadable(listener, 50)) continue;  // a bounded wait, so the destructor is heard
    socket_t client = accept(listener, nullptr, nullptr);
    if (client == static_cast<socket_t>(-1)) continue;
    // Reads up to the end of the request head; the check sends GETs without a body.
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(client, 5000)) {
      const int n = static_cast<int>(recv(client, buffer, sizeof(buffer), 0));
      if (n <= 0) break;
      request.append(buffer, static_cast<size_t>(n));
    }
    const std::string answer =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_.size()) +
        "\r\nConnection: close\r\n\r\n" + body_;
    // Counted before the answer leaves: once the client has the body, the count includes it.
    ++answered_;
    send(client, answer.data(), static_cast<int>(answer.size()), 0);
    KIT_CLOSE(client);
  }
}

}  // namespace kit_host
