#pragma once
// The receive thread: every datagram on the receive socket, checked and
// dispatched by message class.

#include <cstddef>
#include <cstdint>

inline constexpr size_t RECEIVE_BUFFER_SIZE = 2000;
inline constexpr int DATAGRAM_LIMIT = 500;  // 500 bytes and more is an overrun

// The thread body; never returns.
[[noreturn]] void ReceiveThread();
// One blocking receive and its dispatch.
void PollUDP();
// One blocking receive, then every datagram already waiting, their changes
// gathered into as few lists as their order allows.
void ReceiveWaiting();
// The checks and dispatch of one received datagram of n bytes (n > 0); the
// buffer holds one byte more for the terminator.
void HandleDatagram(uint8_t* buffer, int n);

void HandleNetworkMsgs(const uint8_t* message, size_t length);
void HandleDataMsgs(const uint8_t* message, size_t length);
