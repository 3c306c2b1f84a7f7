#include "process/syslog_text.h"

#include "process/resource.h"
#include "process/syslog.h"

namespace {
ResourceHandle sysLogLock = nullptr;  // registered on first use, by the receive thread only
}  // namespace

bool SysLog(const char* text) {
  if (sysLogLock == nullptr) sysLogLock = RegisterResource("SysLogMutex");
  bool held = GetResource(sysLogLock, "SysLog()");
  uint8_t message[SYSLOG_TEXT_MESSAGE_CAPACITY] = {};
  size_t length = BuildSysLogTextMessage(message, text);
  SendUpdateMessage(message, length);
  if (held) ReleaseResource(sysLogLock, "SysLog()");
  return true;
}

int SendUpdateMessage(const uint8_t*, size_t) { return -1; }
