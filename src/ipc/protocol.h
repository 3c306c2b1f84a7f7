#pragma once
// The request-list protocol as client and server both see it: the list's
// records and limits, the values of the version handshake, and the result
// codes that the link's operations report beside true or false.

#include <cstdint>

inline constexpr uint32_t IPC_BUFFER_SIZE = 0x8000;
inline constexpr uint32_t IPC_LIST_LIMIT = 0x7F00;
inline constexpr uint16_t IPC_CLIENT_VERSION = 2002;
inline constexpr uint32_t IPC_MIN_SERVER_VERSION = 0x19980005;
inline constexpr uint32_t IPC_CHECK_PATTERN = 0xFADE;
inline constexpr uint32_t IPC_READ_HEADER = 16;
inline constexpr uint32_t IPC_WRITE_HEADER = 12;
inline constexpr uint32_t IPC_READ_ID = 1;
inline constexpr uint32_t IPC_WRITE_ID = 2;
// Every read request takes at least its header, so no list holds more.
inline constexpr uint32_t IPC_MAX_READS = IPC_LIST_LIMIT / IPC_READ_HEADER;

// The handshake's offsets: the server's version, the simulator's version
// (IPC_CHECK_PATTERN in its high half) and where the client writes its own.
inline constexpr uint32_t IPC_SERVER_VERSION_OFFSET = 0x3304;
inline constexpr uint32_t IPC_SIMULATOR_VERSION_OFFSET = 0x3308;
inline constexpr uint32_t IPC_CLIENT_VERSION_OFFSET = 0x330A;

namespace IpcResult {
enum Code : uint32_t {
  Ok = 0,
  AlreadyOpen = 1,
  NoServer = 2,              // no server window, or no stream server to connect to
  MessageNotRegistered = 3,  // the window message
  AtomFailed = 4,
  MappingFailed = 5,         // or a mapping of the buffer's name already existed
  ViewFailed = 6,
  VersionRefused = 7,        // the server found as "UIPCMAIN"
  NotOpen = 9,
  NothingQueued = 10,
  TimedOut = 11,             // no attempt delivered, and the system reports no error
  SendFailed = 12,           // no attempt delivered: a system error, or a broken link
  NotExecuted = 13,          // the server's answer was not 1
  LegacyVersionRefused = 14,  // the server found as "FS98MAIN"
  ListFull = 15,
  ResultsMismatch = 16,      // the executed list does not hold the reads that were queued
};
}  // namespace IpcResult
