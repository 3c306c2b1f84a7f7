#include "simlink/sim_connection.h"

#include "ipc/batch.h"
#include "ipc/link.h"
#include "process/print.h"
#include "process/syslog.h"
#include "process/text.h"
#include "record/recorder.h"
#include "wire/msg_header.h"

std::atomic<bool> SimConnected{false};
std::atomic<bool> SimLossAnnounced{false};

namespace {
// The calling thread's open batch of writes (the items of one data message),
// and a batch of its own for single requests.
thread_local int batchDepth = 0;
thread_local IpcBatch batchedWrites;
thread_local IpcBatch single;

bool Exchange(IpcBatch& batch, const char* caller) {
  const bool ok = SimConnected && ExchangeBatch(batch, caller);
  batch.Clear();
  return ok;
}

// A batch's writes on their way without waiting for them: the receive
// thread goes back to the network while they wait for the simulator.
void Post(IpcBatch& batch) {
  if (SimConnected) PostBatch(batch, "FSUIPCWrite()");
  batch.Clear();
}
}  // namespace

void InitSimulatorLink() {
  RegisterLinkLock();
  FSUIPCClose();
  SimConnected = false;
}

uint32_t FSUIPCConnect(void (*whileHeld)()) {
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
  if (whileHeld != nullptr) whileHeld();
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
  if (!batchedWrites.empty()) {
    // The queued writes go first, in the read's own list where it fits.
    if (batchedWrites.Read(offset, size, destination)) return Exchange(batchedWrites, "FSUIPCRead()") ? 1 : 0;
    Post(batchedWrites);
  }
  if (!SimConnected || !single.Read(offset, size, destination)) return 0;
  return Exchange(single, "FSUIPCRead()") ? 1 : 0;
}

uint32_t FSUIPCWrite(uint32_t offset, uint32_t size, const void* source) {
  if (!SimConnected) return 0;
  if (batchDepth > 0) {
    if (batchedWrites.Write(offset, size, source)) return 1;
    // What would not fit one request list beside this write goes out first.
    Post(batchedWrites);
    if (batchedWrites.Write(offset, size, source)) return 1;
  }
  if (!single.Write(offset, size, source)) return 0;
  return Exchange(single, "FSUIPCWrite()") ? 1 : 0;
}

void OpenWriteBatch() { ++batchDepth; }

void CloseWriteBatch() {
  if (batchDepth > 1) {
    --batchDepth;
    return;
  }
  if (!batchedWrites.empty()) Post(batchedWrites);
  batchDepth = 0;
}

void FSUIPCWriteAlong(uint32_t offset, uint8_t value) {
  if (SimConnected) IpcWriteAlong(offset, value);
}

std::string SimulatorProblem() {
  const uint32_t code = IpcLink.lastOpenCode;
  if (code == IpcResult::Ok || IpcLink.transport == nullptr) return {};
  if (code == IpcResult::VersionRefused || code == IpcResult::LegacyVersionRefused) {
    char text[300];
    FormatText(text, sizeof text,
               "%s answered with versions 0x%08X (its interface) and 0x%08X (the simulator); it needs 0x%08X or "
               "later and 0x%04Xnnnn",
               IpcLink.transport->Where().c_str(), IpcLink.serverVersion, IpcLink.simulatorVersion,
               IPC_MIN_SERVER_VERSION, IPC_CHECK_PATTERN);
    return text;
  }
  return IpcLink.transport->OpenProblem(code);
}

void SimNotResponding() {
  if (!SimConnected) return;
  FSUIPCClose();
  SimLossAnnounced = true;
  RecordSimulatorLost();
  Print("Simulator disconnected\n");
  SendSysLog(NodeId, 2, "Sim Not Responding.");
}
