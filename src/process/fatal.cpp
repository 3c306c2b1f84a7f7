#include "process/fatal.h"

#include <atomic>
#include <cstring>

#include "platform/platform.h"
#include "process/log.h"
#include "process/print.h"
#include "process/process_state.h"
#include "process/syslog.h"
#include "process/text.h"
#include "wire/msg_header.h"

namespace {

struct StationTagEntry {
  int32_t nodeId;
  const char* tag;
};

constexpr StationTagEntry STATION_TAGS[] = {
    {2, "DB: "},     {3, "NAVR: "},  {4, "NAVL: "},  {5, "PFDR: "}, {6, "PFDL: "},
    {11, "MSGP: "},  {14, "SIM: "},  {16, "EICAS: "}, {18, "MAPS: "}, {20, "SND: "},
    {21, "GFLT: "},  {23, "LCLS: "}, {24, "CDU: "},
};

std::atomic<bool> restartAsked{false};

}  // namespace

const char* StationTag(int32_t nodeId) {
  for (const StationTagEntry& entry : STATION_TAGS) {
    if (entry.nodeId == nodeId) return entry.tag;
  }
  return "UNK: ";
}

[[noreturn]] void FatalExit(ExitCode::Code exitCode) {
  char caption[50];
  FormatText(caption, sizeof caption, "%sError Exit", StationTag(NodeId));
  platform::ShowBlockingNotice("A fatal error has been encountered. Exiting\nPlease see log file", caption);
  LogFormat("ExitCode: %d\n", exitCode);
  platform::ExitProcess(exitCode);
}

[[noreturn]] void PressEnterExit() {
  Print("\nPress \"Enter\" to exit...");
  platform::WaitForInputLine();
  platform::ExitProcess(ExitCode::EnterPressed);
}

std::string RestartCommandLine(const char* programPath, int32_t count) {
  std::string line = std::strchr(programPath, ' ') != nullptr ? "\"" + std::string(programPath) + "\"" : programPath;
  char arguments[32];
  FormatText(arguments, sizeof arguments, " -rx %d ", count);
  return line + arguments;
}

void Restart() {
  if (ProcessState.restartCount >= MAX_RESTARTS) {
    SendSysLog(NodeId, 3, "Max Restarts Reached");
    platform::SleepMs(500);
    Log("Restart() - ZemFsx has restarted max times. Exiting\n");
    platform::ExitProcess(ExitCode::RestartLimit);
  }
  if (restartAsked.exchange(true)) return;
  SendSysLog(NodeId, 3, "Restarting");
  platform::SleepMs(100);
  // On Windows the successor starts now in a console of its own; on POSIX
  // the main loop hands this process over to it (same process id, terminal
  // and service).
  platform::StartSuccessor(RestartCommandLine(ProcessState.programPath, ProcessState.restartCount + 1));
  RequestQuit();
}
