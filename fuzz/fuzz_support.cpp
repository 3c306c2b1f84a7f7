#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ipc/link.h"
#include "platform/child_process.h"
#include "platform/platform.h"
#include "process/fatal.h"
#include "process/log.h"
#include "process/process_state.h"
#include "process/text.h"
#include "simlink/in_process_link.h"
#include "simlink/sim_connection.h"

namespace fs = std::filesystem;

namespace {
InProcessTransport simulator;
}

void PrepareFuzzProcess(int* /*argc*/, char*** argv) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  platform::SetEnvironmentValue("ZEMSIM_HEADLESS", "1");

  std::error_code ignored;
  fs::path gone = fs::temp_directory_path() / ("zemsim-fuzz-" + std::to_string(platform::CurrentProcessId()));
  fs::create_directories(gone, ignored);
  fs::current_path(gone, ignored);
  fs::remove(gone, ignored);
  platform::SetFileSystemRoot((gone / "root").string());
  Log("first line: finds no place for a log and switches logging off\n");

  // The one restart a process asks for is spent here; nothing hands the
  // process over to its successor, so the target runs on.
  CopyText(ProcessState.programPath, (*argv)[0]);
  Restart();
  ProcessState.quitRequested = false;
}

InProcessTransport& ConnectInProcessSimulator() {
  IpcTiming.retrySleepMs = 0;
  IpcTiming.handshakeSleepMs = 0;
  InitSimulatorLink();
  if (ConnectInProcess(simulator) != 0) std::abort();
  return simulator;
}
