#include "simlink/sim_connection.h"

#include "platform/platform.h"
#include "process/print.h"
#include "simlink/blocks.h"
#include "simlink/hot_keys.h"
#include "simlink/ipc_link.h"

std::atomic<bool> SimConnected{false};
std::atomic<bool> SimLossAnnounced{false};
ResourceHandle FsuipcLock = nullptr;

namespace {
std::atomic<bool> initKeyMessagePrinted{false};
}

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
  if (!GetResource(FsuipcLock, "FSUIPCWrite()")) return 0;
  uint32_t code = 0;
  IpcQueueWrite(offset, size, source, code);
  bool processed = IpcProcess(code);
  ReleaseResource(FsuipcLock, "FSUIPCWrite()");
  return processed ? 1 : 0;
}
