// POSIX side of what servers need: listening sockets and keep-alive; no
// server window.

#include "platform/server.h"

#include <unistd.h>

#include "platform/sockets_posix.h"

namespace platform {

using sockets::Fd;
using sockets::Ipv4;
using sockets::OutOfDescriptors;
using sockets::SetNoDelay;

SocketHandle TcpListen(uint32_t address, uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return NO_SOCKET;
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in local = Ipv4(address, port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || ::listen(fd, 16) != 0) {
    ::close(fd);
    return NO_SOCKET;
  }
  return fd;
}

SocketHandle TcpAccept(SocketHandle listener, uint32_t* peerAddress, IoStatus* status) {
  for (;;) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int fd = ::accept4(Fd(listener), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
      if (peerAddress != nullptr) *peerAddress = ntohl(peer.sin_addr.s_addr);
      SetNoDelay(fd);
      if (status != nullptr) *status = IoStatus::Ok;
      return fd;
    }
    if (errno != EINTR && errno != ECONNABORTED) {
      if (status != nullptr) *status = OutOfDescriptors(errno) ? IoStatus::NoDescriptors : IoStatus::Error;
      return NO_SOCKET;
    }
  }
}

bool SetKeepAlive(SocketHandle socket, uint32_t idleSeconds, uint32_t intervalSeconds) {
  int on = 1;
  int idle = static_cast<int>(idleSeconds);
  int interval = static_cast<int>(intervalSeconds);
  int probes = 3;
  return setsockopt(Fd(socket), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
         setsockopt(Fd(socket), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) == 0 &&
         setsockopt(Fd(socket), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 &&
         setsockopt(Fd(socket), IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes) == 0;
}

bool OpenSharedBuffer(const char*, SharedBuffer&) { return false; }

bool ServeWindowMessages(const char*, const char*, WindowMessageHandler, void*) { return false; }

}  // namespace platform
