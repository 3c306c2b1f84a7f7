#pragma once
// The connection to ComMgr kept once a second, and the node's three ways
// onto the network.

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr int32_t MISSED_TICK_LIMIT = 5;
inline constexpr uint32_t HEARTBEAT_OFFSET = 0x7800;

// The thread body; never returns.
[[noreturn]] void Monitor();
// One tick: heartbeat, connection state, registration while not connected.
void MonitorTick();

// The registration's text ("%s %d %d %d\n", no terminator).
std::string RegistrationText();

// To ComMgr while connected; dropped without a word otherwise. Stamps the
// version, destination and source into the caller's message.
void UDPSend(uint8_t* message, size_t length);
void SendMonitorBroadcast(const uint8_t* message, size_t length);
void SendRemoteBroadcast(const uint8_t* message, size_t length);
