#include "process/process_state.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "process/text.h"

ProcessStateRecord ProcessState;

namespace {
std::mutex quitLock;
std::condition_variable quitSet;
}  // namespace

void RequestQuit() {
  {
    std::lock_guard<std::mutex> guard(quitLock);
    ProcessState.quitRequested = true;
  }
  quitSet.notify_all();
}

bool WaitForQuit(uint32_t milliseconds) {
  std::unique_lock<std::mutex> guard(quitLock);
  return quitSet.wait_for(guard, std::chrono::milliseconds(milliseconds), [] { return ProcessState.quitRequested.load(); });
}

void ParseCommandLine(const std::vector<std::string>& arguments) {
  if (!arguments.empty()) CopyText(ProcessState.programPath, arguments[0]);
  if (arguments.size() == 3) {
    char count[50];
    CopyText(count, arguments[2]);
    // A negative count would buy a line of instances more restarts than
    // the limit allows.
    int32_t value = LeadingDecimal(count);
    ProcessState.restartCount = value < 0 ? 0 : value;
    ProcessState.isRestart = true;
  }
}
