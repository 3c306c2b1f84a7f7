#include "support/sockets.h"

#include "support/test_support.h"

LoopbackReceiver::LoopbackReceiver() : socket_(platform::UdpOpen()) {
  platform::UdpBind(socket_, 0x7F000001, 0);
  port_ = platform::LocalPort(socket_);
}

LoopbackReceiver::~LoopbackReceiver() { platform::UdpClose(socket_); }

std::vector<uint8_t> LoopbackReceiver::Receive(uint32_t timeoutMs) {
  if (!platform::UdpWaitReadable(socket_, timeoutMs)) return {};
  std::vector<uint8_t> datagram(4096);
  int n = platform::UdpReceive(socket_, datagram.data(), datagram.size());
  datagram.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return datagram;
}

std::vector<std::vector<uint8_t>> LoopbackReceiver::SentSoFar(platform::SocketHandle through) {
  const std::vector<uint8_t> marker = {0xEE, 0x4D, 0x52, 0x4B};
  platform::UdpSendTo(through, marker.data(), marker.size(), 0x7F000001, port_);
  std::vector<std::vector<uint8_t>> datagrams;
  for (std::vector<uint8_t> datagram = Receive(10000); datagram != marker; datagram = Receive(10000)) {
    if (datagram.empty()) {
      ADD_FAILURE() << "the marker never came";
      break;
    }
    datagrams.push_back(datagram);
  }
  return datagrams;
}
