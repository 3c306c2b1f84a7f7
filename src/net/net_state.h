#pragma once
// The node's network record: its addresses, its sockets and the state of
// its connection to ComMgr.

#include <atomic>
#include <cstdint>

#include "platform/platform.h"
#include "process/resource.h"

inline constexpr uint16_t MONITOR_BROADCAST_PORT = 9019;
inline constexpr uint16_t REMOTE_BROADCAST_PORT = 9102;

struct Ipv4Endpoint {
  uint32_t address = 0;  // host byte order
  uint16_t port = 0;
};

struct NetStateRecord {
  char HostName[512] = "NotInitialized";
  char SelectedIp[300] = "";
  char IpMask[100] = "";
  char AdvertisedIp[512] = "0.0.0.0";
  platform::SocketHandle RecvSocket = platform::NO_SOCKET;
  platform::SocketHandle MonitorBcastSocket = platform::NO_SOCKET;
  Ipv4Endpoint MonitorBcastAddr;
  platform::SocketHandle RemoteBcastSocket = platform::NO_SOCKET;
  Ipv4Endpoint RemoteBcastAddr;
  // Replaced by the receive thread while the polling thread sends through
  // them: both only under ClientLock.
  platform::SocketHandle ClientSocket = platform::NO_SOCKET;
  Ipv4Endpoint CommMgrAddr;
  ResourceHandle ClientLock = nullptr;
  // Set once an address message has given ClientSocket and CommMgrAddr.
  std::atomic<bool> AddressKnown{false};
  std::atomic<bool> Connected{false};
  std::atomic<bool> MsgArrived{false};
  std::atomic<int32_t> MissedTicks{0};
  std::atomic<uint8_t> Heartbeat{0};
  // Registrations broadcast since the node was last connected.
  std::atomic<uint32_t> UnansweredRegistrations{0};
};

extern NetStateRecord NetState;
