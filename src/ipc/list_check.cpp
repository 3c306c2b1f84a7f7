#include "ipc/records.h"

const char* CheckRequestList(const uint8_t* list, uint32_t length) {
  if (length < 4 || length > IPC_LIST_LIMIT) return "length outside 4 to 32512 bytes";
  uint32_t terminatorAt = 0;
  if (!WalkIpcRecords(list, length, terminatorAt, [](const IpcRecord&) { return true; })) {
    return "a record that is incomplete or of an unknown kind, or no terminator";
  }
  if (terminatorAt + 4 != length) return "bytes after the terminator";
  return nullptr;
}
