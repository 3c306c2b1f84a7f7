#pragma once
// What the POSIX socket functions of the platform layer share (its own
// files only).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>

#include "platform/platform.h"

namespace platform::sockets {

inline int Fd(SocketHandle socket) { return static_cast<int>(socket); }

inline sockaddr_in Ipv4(uint32_t address, uint16_t port) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_port = htons(port);
  socketAddress.sin_addr.s_addr = htonl(address);
  return socketAddress;
}

inline bool OutOfDescriptors(int error) { return error == EMFILE || error == ENFILE; }

inline void SetNoDelay(int fd) {
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace platform::sockets
