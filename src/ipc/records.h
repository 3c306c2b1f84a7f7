#pragma once
// The records of a request list, walked as they stand in the buffer. The
// client's result copy, the server engine and the bridge's check all read
// lists this one way.

#include <cstdint>

#include "ipc/protocol.h"
#include "wire/bytes.h"

struct IpcRecord {
  uint32_t id;      // IPC_READ_ID or IPC_WRITE_ID
  uint32_t offset;  // in the simulator
  uint32_t size;
  uint32_t tag;     // a read's destination field; 0 for a write
  uint32_t dataAt;  // where the record's data begin in the list
};

// Calls visit(record) for each record in order. True when the walk reached a
// terminator (a zero id where a record could begin; its position in
// terminatorAt); false at a record that does not fit in the list, an id
// other than 1 and 2, a list without a terminator, or when visit returned
// false.
template <typename Visit>
bool WalkIpcRecords(const uint8_t* list, uint32_t length, uint32_t& terminatorAt, Visit&& visit) {
  uint32_t position = 0;
  while (position + 4 <= length) {
    const uint32_t id = GetU32(list + position);
    if (id == 0) {
      terminatorAt = position;
      return true;
    }
    const uint32_t header = id == IPC_READ_ID ? IPC_READ_HEADER : id == IPC_WRITE_ID ? IPC_WRITE_HEADER : 0;
    if (header == 0 || header > length - position) return false;
    const uint32_t size = GetU32(list + position + 8);
    if (size > length - position - header) return false;
    const IpcRecord record{id, GetU32(list + position + 4), size, id == IPC_READ_ID ? GetU32(list + position + 12) : 0,
                           position + header};
    if (!visit(record)) return false;
    position += header + size;
  }
  return false;
}

// A list as a client hands it to the bridge, checked before the simulator
// sees any byte: 4 to 32512 bytes, every record complete inside the list,
// ids 1 and 2 only, ending with its terminator. nullptr when it is sound,
// else what is wrong with it, for the log.
const char* CheckRequestList(const uint8_t* list, uint32_t length);
