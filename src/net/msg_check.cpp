#include "net/msg_check.h"

#include <atomic>

#include "process/log.h"
#include "wire/msg_header.h"

namespace {
std::atomic<bool> versionErrorLogged{false};
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
