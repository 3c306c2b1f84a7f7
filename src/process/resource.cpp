#include "process/resource.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "platform/platform.h"
#include "process/exit_codes.h"
#include "process/fatal.h"
#include "process/log.h"
#include "process/syslog.h"
#include "process/text.h"
#include "process/timed_lock.h"
#include "wire/msg_header.h"

namespace {
constexpr auto RESOURCE_WAIT = std::chrono::milliseconds(RESOURCE_WAIT_MS);
std::atomic<ReleaseHook> releaseHook{nullptr};

// Every lock registered, for HeldResourceName; the node has a handful.
struct RegisteredLock {
  std::atomic<TimedLock*> lock{nullptr};
  const char* name = nullptr;
};
constexpr size_t MAX_REGISTERED = 32;
RegisteredLock registered[MAX_REGISTERED];
std::atomic<size_t> registeredCount{0};

void Remember(TimedLock* lock, const char* name) {
  const size_t slot = registeredCount.fetch_add(1);
  if (slot >= MAX_REGISTERED) return;  // not listed; it works all the same
  registered[slot].name = name;
  registered[slot].lock = lock;
}

// Reports a lock failure to the system log and, unlocked, to the log file.
void ReportLockFailure(const char* text) {
  SendSysLog(NodeId, 3, text);
  char line[202];
  FormatText(line, sizeof line, "%s\n", text);
  LogUnlocked(line);
}
}  // namespace

ResourceHandle RegisterResource(const char* name) {
  ResourceHandle handle = new (std::nothrow) TimedLock;
  LogFormat("%s has been registered\n", name);
  if (handle == nullptr) {
    SendSysLog(NodeId, 3, "RegisterResource() - NULL Mutex handle");
    Log("RegisterResource() - NULL Mutex handle\n");
    FatalExit(ExitCode::LockNotCreated);
  }
  Remember(handle, name);
  return handle;
}

bool GetResource(ResourceHandle handle, const char* caller) {
  char text[200];
  if (handle == nullptr) {
    FormatText(text, sizeof text, "GetResource() - Null Mutex. Caller: %s", caller);
    ReportLockFailure(text);
    platform::ExitProcess(ExitCode::LockNeverCreated);
  }
  if (handle->Acquire(RESOURCE_WAIT)) return true;
  ReportWaitTimedOut(caller);
  return false;
}

void ReportWaitTimedOut(const char* caller) {
  char text[200];
  FormatText(text, sizeof text, "GetResource() - Mutex wait timed out. Caller: %s", caller);
  ReportLockFailure(text);
}

void ReleaseResource(ResourceHandle handle, const char* caller) {
  char text[100];
  if (handle == nullptr) {
    FormatText(text, sizeof text, "ReleaseResource() - Null Mutex. Caller: %s", caller);
    ReportLockFailure(text);
    return;
  }
  if (handle->Release()) {
    if (ReleaseHook hook = releaseHook.load()) hook(caller);
    return;
  }
  FormatText(text, sizeof text, "ReleaseResource() - Error. Caller: %s", caller);
  ReportLockFailure(text);
}

void SetReleaseHook(ReleaseHook hook) { releaseHook = hook; }

const char* HeldResourceName() {
  if (LogLockHeld()) return "SimLogMutex";
  const size_t count = std::min(registeredCount.load(), MAX_REGISTERED);
  for (size_t i = 0; i < count; ++i) {
    TimedLock* lock = registered[i].lock.load();
    if (lock != nullptr && lock->IsHeld()) return registered[i].name;
  }
  return nullptr;
}
