#include "net/msg_header.h"

#include <atomic>

#include "process/bytes.h"
#include "process/log.h"

namespace {
std::atomic<bool> versionErrorLogged{false};
}

MsgHeader ReadMsgHeader(const uint8_t* message) {
  MsgHeader header;
  header.MsgClass = GetU32(message + HeaderOffset::MsgClass);
  header.MsgType = GetU32(message + HeaderOffset::MsgType);
  header.SeqNo = GetU32(message + HeaderOffset::SeqNo);
  header.Count = GetI32(message + HeaderOffset::Count);
  header.Spare = GetU32(message + HeaderOffset::Spare);
  header.HeaderSize = GetU32(message + HeaderOffset::HeaderSize);
  header.Length = GetU32(message + HeaderOffset::Length);
  header.Version = GetU32(message + HeaderOffset::Version);
  header.Source = GetI16(message + HeaderOffset::Source);
  header.Destination = GetI16(message + HeaderOffset::Destination);
  return header;
}

void WriteMsgHeader(uint8_t* message, const MsgHeader& header) {
  PutU32(message + HeaderOffset::MsgClass, header.MsgClass);
  PutU32(message + HeaderOffset::MsgType, header.MsgType);
  PutU32(message + HeaderOffset::SeqNo, header.SeqNo);
  PutI32(message + HeaderOffset::Count, header.Count);
  PutU32(message + HeaderOffset::Spare, header.Spare);
  PutU32(message + HeaderOffset::HeaderSize, header.HeaderSize);
  PutU32(message + HeaderOffset::Length, header.Length);
  PutU32(message + HeaderOffset::Version, header.Version);
  PutI16(message + HeaderOffset::Source, header.Source);
  PutI16(message + HeaderOffset::Destination, header.Destination);
}

bool ValidateMsgVersion(const uint8_t* message, const char* caller) {
  MsgHeader header = ReadMsgHeader(message);
  if (header.Version == MSG_VERSION) return true;
  if (!versionErrorLogged.exchange(true)) {
    LogFormat("ValidateMsgVersion(%s) - Incorrect Version. Found: %d  Required: %d\n", caller,
              static_cast<int>(header.Version), static_cast<int>(MSG_VERSION));
    LogFormat("  Source: %d   Destination %d\n", header.Source, header.Destination);
  }
  return false;
}

void DumpMessage(const uint8_t* message, const char* caller) {
  MsgHeader header = ReadMsgHeader(message);
  LogFormat("Message logged by: %s\n", caller);
  LogFormat("   To: %d  From: %d\n", header.Destination, header.Source);
  LogFormat("   Version: %d  Length: %d\n", static_cast<int>(header.Version), static_cast<int>(header.Length));
  if (header.MsgType == MSG_UPDATE) Log("   Type: Update\n");
  if (header.MsgType == MSG_KEEP_ALIVE) Log("   Type: Keep Alive\n");
}
