#include "simlink/sim_connection.h"

#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "process/print.h"
#include "process/syslog.h"
#include "simlink/blocks.h"
#include "simlink/hot_keys.h"
#include "simlink/ipc_link.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

std::atomic<bool> SimConnected{false};
std::atomic<bool> SimLossAnnounced{false};
ResourceHandle FsuipcLock = nullptr;

namespace {
std::atomic<bool> initKeyMessagePrinted{false};

// The calling thread's open batch: each queued write as its offset, size
// and bytes.
struct WriteBatch {
  bool open = false;
  std::vector<uint8_t> bytes;  // records of offset (u32), size (u32) and data
  uint32_t listBytes = 0;      // what they take in a request list
};
// Room kept beside the writes: one read of a few bytes and the terminator.
constexpr uint32_t BATCH_READ_MAX = 8;
constexpr uint32_t BATCH_RESERVE = IPC_READ_HEADER + BATCH_READ_MAX + 4;
thread_local WriteBatch batch;

// The queued writes, and the read if one is given, in one exchange under the
// lock; the batch is empty afterwards, whatever the outcome.
bool SendBatch(uint32_t readOffset = 0, uint32_t readSize = 0, void* readDestination = nullptr) {
  std::vector<uint8_t> queued;
  queued.swap(batch.bytes);
  batch.listBytes = 0;
  const char* caller = readDestination != nullptr ? "FSUIPCRead()" : "FSUIPCWrite()";
  if (!SimConnected) return false;
  if (!GetResource(FsuipcLock, caller)) return false;
  uint32_t code = 0;
  bool ok = true;
  for (size_t at = 0; ok && at < queued.size();) {
    uint32_t offset = GetU32(queued.data() + at);
    uint32_t size = GetU32(queued.data() + at + 4);
    ok = IpcQueueWrite(offset, size, queued.data() + at + 8, code);
    at += 8 + size;
  }
  if (ok && readDestination != nullptr) ok = IpcQueueRead(readOffset, readSize, readDestination, code);
  if (ok) {
    ok = IpcProcess(code);
  } else {
    IpcDropQueued();
  }
  ReleaseResource(FsuipcLock, caller);
  return ok;
}
}  // namespace

void InitSimulatorLink() {
  if (FsuipcLock == nullptr) FsuipcLock = RegisterResource("FSUIPC");
  FSUIPCClose();
  SimConnected = false;
  ResetBlocks();
  // The traffic staging records start empty (InitTraffic, step 5).
}

uint32_t FSUIPCConnect() {
  // Without the lock another thread may be filling the one request list.
  if (!GetResource(FsuipcLock, "FSUIPCConnect()")) return 1;
  // A link still open here was declared down by a close that could not have
  // the lock: it is closed now, so that it can be opened anew.
  if (IpcLink.view != nullptr) IpcClose();
  uint32_t code = 0;
  if (!IpcOpen(code)) {
    ReleaseResource(FsuipcLock, "FSUIPCConnect()");
    return 1;
  }
  SimConnected = true;
  platform::SleepMs(100);
  if (!InstallTabKey() && !initKeyMessagePrinted.exchange(true)) Print("Init Key failed\n");
  ReleaseResource(FsuipcLock, "FSUIPCConnect()");
  return 0;
}

void FSUIPCClose() {
  if (!SimConnected) return;
  // Without the lock another thread is still inside an exchange (a
  // simulator that stopped answering): the link is down all the same, and
  // the next connect, which holds the lock, closes it.
  if (!GetResource(FsuipcLock, "FSUIPCClose()")) {
    SimConnected = false;
    return;
  }
  // The flag changes with the link, under the lock: a reopen that follows
  // at once must not be marked down afterwards.
  IpcClose();
  SimConnected = false;
  ReleaseResource(FsuipcLock, "FSUIPCClose()");
}

uint32_t FSUIPCRead(uint32_t offset, uint32_t size, void* destination) {
  if (!batch.bytes.empty()) {
    // The queued writes go first, in the read's own exchange where it fits.
    if (size <= BATCH_READ_MAX) return SendBatch(offset, size, destination) ? 1 : 0;
    SendBatch();
  }
  if (!SimConnected) return 0;
  if (!GetResource(FsuipcLock, "FSUIPCRead()")) return 0;
  uint32_t code = 0;
  bool queued = IpcQueueRead(offset, size, destination, code);
  bool processed = IpcProcess(code);
  ReleaseResource(FsuipcLock, "FSUIPCRead()");
  return queued && processed ? 1 : 0;
}

uint32_t FSUIPCWrite(uint32_t offset, uint32_t size, const void* source) {
  if (!SimConnected) return 0;
  if (batch.open && IPC_WRITE_HEADER + size + BATCH_RESERVE <= IPC_LIST_LIMIT) {
    // What would not fit one request list beside this write goes out first.
    if (batch.listBytes + IPC_WRITE_HEADER + size + BATCH_RESERVE > IPC_LIST_LIMIT) SendBatch();
    batch.listBytes += IPC_WRITE_HEADER + size;
    size_t at = batch.bytes.size();
    batch.bytes.resize(at + 8 + size);
    PutU32(batch.bytes.data() + at, offset);
    PutU32(batch.bytes.data() + at + 4, size);
    if (size > 0) std::memcpy(batch.bytes.data() + at + 8, source, size);
    return 1;
  }
  if (!GetResource(FsuipcLock, "FSUIPCWrite()")) return 0;
  uint32_t code = 0;
  IpcQueueWrite(offset, size, source, code);
  bool processed = IpcProcess(code);
  ReleaseResource(FsuipcLock, "FSUIPCWrite()");
  return processed ? 1 : 0;
}

void OpenWriteBatch() { batch.open = true; }

void CloseWriteBatch() {
  if (!batch.bytes.empty()) SendBatch();
  batch.open = false;
}

void FSUIPCWriteAlong(uint32_t offset, uint8_t value) {
  if (SimConnected) IpcWriteAlong(offset, value);
}

void SimNotResponding() {
  if (!SimConnected) return;
  FSUIPCClose();
  SimLossAnnounced = true;
  Print("Simulator disconnected\n");
  SendSysLog(NodeId, 2, "Sim Not Responding.");
}
