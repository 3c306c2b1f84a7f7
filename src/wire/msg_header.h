#pragma once
// The cockpit network's message format: a 36-byte little-endian header in
// front of every datagram, the classes and types this node sends or accepts,
// and the node ids.

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t MSG_HEADER_SIZE = 36;
inline constexpr uint32_t MSG_VERSION = 30116;
// Block and traffic messages keep 4 zero bytes after the header.
inline constexpr uint32_t MSG_BLOCK_DATA_OFFSET = 40;

inline constexpr uint32_t MSG_CLASS_DATA = 1;
inline constexpr uint32_t MSG_CLASS_NETWORK = 2;

// Network class (2)
inline constexpr uint32_t MSG_ADR = 5;
inline constexpr uint32_t MSG_KEEP_ALIVE = 9;
inline constexpr uint32_t MSG_SHUTDOWN = 12;
inline constexpr uint32_t MSG_SYS_LOG = 23;
// Data class (1)
inline constexpr uint32_t MSG_FSX_IN = 2;
inline constexpr uint32_t MSG_UPDATE = 3;
inline constexpr uint32_t MSG_SYSLOG_TEXT = 14;
inline constexpr uint32_t MSG_BLOCK_1 = 18;
inline constexpr uint32_t MSG_BLOCK_2 = 19;
inline constexpr uint32_t MSG_BLOCK_3 = 20;
inline constexpr uint32_t MSG_AIR_TRAFFIC = 21;
inline constexpr uint32_t MSG_GND_TRAFFIC = 22;
inline constexpr uint32_t MSG_REMOTE_DATA = 24;

inline constexpr int16_t NODE_COMMGR = 2;
inline constexpr int16_t NODE_SIM = 14;
inline constexpr int16_t NodeId = NODE_SIM;

struct MsgHeader {
  uint32_t MsgClass = 0;
  uint32_t MsgType = 0;
  uint32_t SeqNo = 0;
  int32_t Count = 0;
  uint32_t Spare = 0;
  uint32_t HeaderSize = 0;
  uint32_t Length = 0;
  uint32_t Version = 0;
  int16_t Source = 0;
  int16_t Destination = 0;
};

// Byte offsets of the header fields on the wire.
namespace HeaderOffset {
inline constexpr size_t MsgClass = 0;
inline constexpr size_t MsgType = 4;
inline constexpr size_t SeqNo = 8;
inline constexpr size_t Count = 12;
inline constexpr size_t Spare = 16;
inline constexpr size_t HeaderSize = 20;
inline constexpr size_t Length = 24;
inline constexpr size_t Version = 28;
inline constexpr size_t Source = 32;
inline constexpr size_t Destination = 34;
}  // namespace HeaderOffset
static_assert(HeaderOffset::Destination + 2 == MSG_HEADER_SIZE, "the header is 36 bytes");

// The message must hold at least MSG_HEADER_SIZE bytes.
MsgHeader ReadMsgHeader(const uint8_t* message);
void WriteMsgHeader(uint8_t* message, const MsgHeader& header);
