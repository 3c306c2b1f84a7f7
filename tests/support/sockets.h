#pragma once
// Sockets of a test's own, on loopback only.

#include <cstdint>
#include <vector>

#include "platform/platform.h"

// A UDP socket of the test's own on loopback, for what the node sends.
class LoopbackReceiver {
 public:
  LoopbackReceiver();
  ~LoopbackReceiver();
  uint16_t port() const { return port_; }
  // The next datagram, or an empty one when none came within the time-out.
  std::vector<uint8_t> Receive(uint32_t timeoutMs = 1000);
  // Every datagram the socket sent here so far, in order: a marker sent
  // through it now arrives behind them, so nothing rests on a wait.
  std::vector<std::vector<uint8_t>> SentSoFar(platform::SocketHandle through);

 private:
  platform::SocketHandle socket_;
  uint16_t port_ = 0;
};
