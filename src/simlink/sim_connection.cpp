#include "simlink/sim_connection.h"

#include "platform/platform.h"
#include "process/print.h"
#include "simlink/blocks.h"
#include "simlink/hot_keys.h"
#include "simlink/ipc_link.h"

std::atomic<bool> SimConnected{false};
ResourceHandle FsuipcLock = nullptr;

namespace {
std::atomic<bool> initKeyMessagePrinted{false};
// Set by a close that could not have the lock: the link is down, and the
// next connect, which holds the lock, closes it before opening it anew.
std::atomic<bool> closeOwed{false};
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
  if (closeOwed.exchange(false)) IpcClose();
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
  // simulator that stopped answering): the link is down all the same.
  if (!GetResource(FsuipcLock, "FSUIPCClose()")) {
    closeOwed = true;
    SimConnected = false;
    return;
  }
  closeOwed = false;
  IpcClose();
  ReleaseResource(FsuipcLock, "FSUIPCClose()");
  SimConnected = false;
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
