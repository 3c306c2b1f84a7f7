#include "process/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>

#include "platform/platform.h"
#include "process/exit_codes.h"
#include "process/syslog.h"
#include "process/timed_lock.h"
#include "wire/msg_header.h"

namespace {

constexpr size_t LOG_PATH_CAPACITY = 400;
constexpr auto LOG_LOCK_WAIT = std::chrono::milliseconds(1000);
constexpr const char* SUPPORT_ADDRESS = "support@zemsim.example";

std::atomic<TimedLock*> SimLogMutex{nullptr};
std::atomic<bool> logOpen{false};

// The path is set by the first successful open and emptied when no file can
// be created; this guard only keeps its copy in and out whole.
std::mutex pathGuard;
std::string logPath = "(no log file chosen yet)";

std::string CurrentLogPath() {
  std::lock_guard<std::mutex> guard(pathGuard);
  return logPath;
}

void SetLogPath(std::string path) {
  std::lock_guard<std::mutex> guard(pathGuard);
  logPath = std::move(path);
}

std::FILE* CreateLogFile(const std::string& directory, const char* name) {
  if (directory.empty()) return nullptr;  // never the bare root by accident
  std::string path = directory + platform::PathSeparator() + name;
  // A path cut to fit the field would name another file: this place fails.
  if (path.size() > LOG_PATH_CAPACITY - 1) return nullptr;
  SetLogPath(path);
  return std::fopen(CurrentLogPath().c_str(), "wb");
}

void AppendLine(const char* text) {
  std::string path = CurrentLogPath();
  if (path.empty()) return;
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) return;
  std::string stamp = TimeStamp();
  std::fputs(stamp.c_str(), file);
  std::fputc(' ', file);
  std::fputs(text, file);
  std::fclose(file);
}

}  // namespace

std::string TimeStamp() {
  platform::LocalClock now = platform::LocalTimeNow();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d:%03d ", now.hour, now.minute, now.second, now.millisecond);
  return stamp;
}

std::string LogFilePath() {
  if (!logOpen) return {};
  return CurrentLogPath();
}

void InitLogMutex() {
  if (SimLogMutex.load() != nullptr) return;
  TimedLock* created = new (std::nothrow) TimedLock;
  if (created == nullptr) {
    std::string text = std::string("Unable to create SimLogMutex. Please report this error to ") + SUPPORT_ADDRESS;
    platform::ShowBlockingNotice(text.c_str(), "Error");
    platform::ExitProcess(ExitCode::LogLockFailed);
  }
  TimedLock* expected = nullptr;
  if (!SimLogMutex.compare_exchange_strong(expected, created)) delete created;  // another thread was first
}

bool LogLockHeld() {
  TimedLock* lock = SimLogMutex.load();
  return lock != nullptr && lock->IsHeld();
}

bool SecureLogMutex() {
  if (SimLogMutex.load()->Acquire(LOG_LOCK_WAIT)) return true;
  SendSysLog(NodeId, 3, "Can't secure Log Mutex");
  LogUnlocked("Can't secure Log Mutex\n");
  return false;
}

void ReleaseLogMutex() {
  if (SimLogMutex.load()->Release()) return;
  SendSysLog(NodeId, 3, "Can't release Log Mutex");
  LogUnlocked("Can't release Log Mutex\n");
}

bool OpenLog(const char* name) {
  bool lockExisted = SimLogMutex.load() != nullptr;
  if (!lockExisted) InitLogMutex();

  std::FILE* file = CreateLogFile(platform::CurrentDirectory(), name);
  if (file == nullptr) file = CreateLogFile(platform::RootPath("ZemSim"), name);
  if (file == nullptr) {
    SetLogPath({});
    return false;
  }
  logOpen = true;
  std::fputs(lockExisted ? "Log Started - Already initialized\n" : "Log started.\n", file);
  std::fclose(file);
  return true;
}

void Log(const char* text) {
  if (CurrentLogPath().empty()) return;
  InitLogMutex();
  bool held = SecureLogMutex();
  if (!logOpen) OpenLog("ZEMDefault.log");
  AppendLine(text);
  if (held) ReleaseLogMutex();
}

void LogFormat(const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  Log(text);
}

void LogUnlocked(const char* text) {
  if (!logOpen) OpenLog("ZEMDefault.log");
  AppendLine(text);
}
