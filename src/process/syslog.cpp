#include "process/syslog.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "wire/bytes.h"
#include "wire/msg_header.h"

namespace {

std::atomic<uint32_t> sysLogSeq{0};

constexpr size_t SYS_LOG_LEVEL_OFFSET = MSG_HEADER_SIZE;
constexpr size_t SYS_LOG_TEXT_OFFSET = MSG_HEADER_SIZE + 2;
constexpr size_t SYS_LOG_MESSAGE_CAPACITY = SYS_LOG_TEXT_OFFSET + SYS_LOG_TEXT_CAPACITY;
static_assert(SYS_LOG_MESSAGE_CAPACITY == 150);
static_assert(SYSLOG_TEXT_MESSAGE_CAPACITY - MSG_HEADER_SIZE - 1 == 63);

// Copies at most capacity - 1 characters and the terminator; returns the
// number of characters copied.
size_t CopyTerminated(uint8_t* destination, const char* text, size_t capacity) {
  size_t length = std::min(std::strlen(text), capacity - 1);
  std::memcpy(destination, text, length);
  destination[length] = 0;
  return length;
}

}  // namespace

uint32_t NextSysLogSeq() {
  uint32_t current = sysLogSeq.load();
  uint32_t next = 0;
  do {
    next = current + 1 >= 1000 ? 0 : current + 1;
  } while (!sysLogSeq.compare_exchange_weak(current, next));
  return next;
}

size_t BuildSysLogMessage(uint8_t* message, int32_t level, const char* text) {
  MsgHeader header;
  header.MsgClass = MSG_CLASS_NETWORK;
  header.MsgType = MSG_SYS_LOG;
  header.SeqNo = NextSysLogSeq();
  header.Count = 0;
  header.HeaderSize = MSG_HEADER_SIZE;
  header.Source = NodeId;
  header.Destination = NODE_COMMGR;
  WriteMsgHeader(message, header);
  PutU16(message + SYS_LOG_LEVEL_OFFSET, static_cast<uint16_t>(level));
  size_t length = CopyTerminated(message + SYS_LOG_TEXT_OFFSET, text, SYS_LOG_TEXT_CAPACITY);
  return length + 39;
}

size_t BuildSysLogTextMessage(uint8_t* message, const char* text) {
  MsgHeader header;
  header.MsgClass = MSG_CLASS_DATA;
  header.MsgType = MSG_SYSLOG_TEXT;
  header.Count = 1;
  header.SeqNo = NextSysLogSeq();
  header.Source = NodeId;
  WriteMsgHeader(message, header);
  size_t length = CopyTerminated(message + MSG_HEADER_SIZE, text, SYSLOG_TEXT_MESSAGE_CAPACITY - MSG_HEADER_SIZE);
  return MSG_HEADER_SIZE + length + 1;
}

void SendSysLog(int32_t, int32_t level, const char* text) {
  uint8_t message[SYS_LOG_MESSAGE_CAPACITY] = {};
  BuildSysLogMessage(message, level, text);
}
