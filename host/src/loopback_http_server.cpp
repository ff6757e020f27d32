#include "host/loopback_http_server.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace host {

namespace {

#if defined(_WIN32)
using SocketHandle = SOCKET;
void CloseSocket(SocketHandle socket) {
  closesocket(socket);
}
#else
using SocketHandle = int;
void CloseSocket(SocketHandle socket) {
  close(socket);
}
#endif

SocketHandle Native(intptr_t socket) {
  return static_cast<SocketHandle>(socket);
}

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  return addr;
}

// The request's headers and as many body bytes as its Content-Length names (at most 1 MB).
std::string ReadRequest(SocketHandle client) {
  std::string in;
  char buffer[2048];
  size_t header_end = std::string::npos;
  size_t body_length = 0;
  for (;;) {
    const int got = static_cast<int>(recv(client, buffer, sizeof(buffer), 0));
    if (got <= 0) break;
    in.append(buffer, static_cast<size_t>(got));
    if (header_end == std::string::npos) {
      header_end = in.find("\r\n\r\n");
      if (header_end != std::string::npos) {
        const auto cl = in.find("Content-Length: ");
        if (cl != std::string::npos && cl < header_end) {
          body_length = std::strtoul(in.c_str() + cl + 16, nullptr, 10);
        }
      }
    }
    if (header_end != std::string::npos && in.size() >= header_end + 4 + body_length) break;
    if (in.size() > 1 << 20) break;
  }
  return in;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(Respond respond) : respond_(std::move(respond)) {
#if defined(_WIN32)
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
#endif
  const SocketHandle listener = socket(AF_INET, SOCK_STREAM, 0);
  listener_ = static_cast<intptr_t>(listener);
  sockaddr_in addr = Loopback(0);
  socklen_t len = sizeof(addr);
  if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      listen(listener, 16) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return;
  }
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stopping_ = true;
  if (thread_.joinable()) {
    // Wake the accept call with a connection of our own.
    const SocketHandle wake = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in addr = Loopback(port_);
    connect(wake, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    CloseSocket(wake);
    thread_.join();
  }
  CloseSocket(Native(listener_));
}

void LoopbackHttpServer::Serve() {
  while (!stopping_) {
    const SocketHandle client = accept(Native(listener_), nullptr, nullptr);
    if (stopping_) {
      CloseSocket(client);
      return;
    }
    const std::string out = respond_(ReadRequest(client));
    send(client, out.data(), static_cast<int>(out.size()), 0);
    CloseSocket(client);
  }
}

}  // namespace host
