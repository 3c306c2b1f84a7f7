#include "node/startup.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "flightplan/flight_plan.h"
#include "ipc/link.h"
#include "net/ipv4_text.h"
#include "net/monitor.h"
#include "net/net_state.h"
#include "net/receive.h"
#include "net/remote_broadcast.h"
#include "net/udp_startup.h"
#include "node/node_recording.h"
#include "node/sim_poll.h"
#include "node/status.h"
#include "platform/platform.h"
#include "process/console.h"
#include "process/exit_codes.h"
#include "process/log.h"
#include "process/print.h"
#include "process/process_state.h"
#include "process/settings.h"
#include "record/recorder.h"
#include "simlink/blocks.h"
#include "simlink/hot_keys.h"
#include "simlink/sim_connection.h"
#include "traffic/traffic.h"
#include "vardb/var_table.h"

namespace {


constexpr int32_t SERVICES_MAJOR_VERSION = 0;
constexpr int32_t SERVICES_MINOR_VERSION = 27;

constexpr const char* VERSION = ZEMSIM_VERSION;

constexpr const char* HELP =
    "ZemSim " ZEMSIM_VERSION ": the simulator-interface node (node 14) of the cockpit network.\n"
    "\n"
    "  zemsim               start the node\n"
    "  zemsim --version     print the version\n"
    "  zemsim --exit-codes  print the exit codes and their causes\n"
    "  zemsim --help        print this text\n"
    "\n"
    "The configuration is ZemSim.cfg in the folder ZemSimConfigs at the root of the\n"
    "drive when that folder exists, else in the current folder. The log is ZemSim.log\n"
    "in the current folder (ZEMDefault.log once the node has restarted itself).\n"
    "Keys while it runs: ? lists them, f the flaps line, v the incoming changes.\n";

// "zemsim --version", "--exit-codes" and "--help" print and end, before anything
// else happens (no log is opened). Every other command line is the node's.
void AnswerInformationRequest(const std::vector<std::string>& arguments) {
  if (arguments.size() != 2) return;
  if (arguments[1] == "--version") {
    PrintFormat("ZemSim %s\n", VERSION);
  } else if (arguments[1] == "--exit-codes") {
    Print(ExitCodeTable().c_str());
  } else if (arguments[1] == "--help") {
    Print(HELP);
  } else {
    return;
  }
  platform::ExitProcess(ExitCode::Answered);
}

// Beside the banner: what the node found and where it will look for its
// peers, so that a missing one can be told apart from a wrong setting.
void ShowSummary(bool configured) {
  const std::string lines[] = {
      std::string("Version: ") + VERSION,
      "Configuration: " + ConfigFileShown(configured),
      "Simulator: " + SelectIpcTransport()->Where(),
      std::string("Network: this node at ") + NetState.SelectedIp + " port " + std::to_string(Settings.port) +
          ", registering by broadcast to " + DottedDecimal(NetState.MonitorBcastAddr.address) + " port " +
          std::to_string(NetState.MonitorBcastAddr.port),
  };
  for (const std::string& line : lines) {
    Print((line + "\n").c_str());
    Log(("StartUp() - " + line + "\n").c_str());
  }
  Print("\n");
}

// A worker that cannot be created is logged; the node goes on without it.
void StartWorker(const char* name, void (*body)()) {
  if (!platform::StartThread(body)) LogFormat("StartUp() - The %s thread could not be created\n", name);
}

void StartUp(int argc, char** argv) {
  const std::vector<std::string> arguments = platform::CommandLineArguments(argc, argv);
  AnswerInformationRequest(arguments);
  // Unattended runs and tests may put the root of the drive elsewhere.
  if (const char* root = std::getenv("ZEMSIM_ROOT"); root != nullptr && root[0] != '\0') platform::SetFileSystemRoot(root);
  ParseCommandLine(arguments);
  // A click into the console must never stop a thread that prints.
  const bool quickEditOff = platform::DisableQuickEdit();
  platform::SetConsoleTitleText(StatusTitle(false, false).c_str());

  // A restarted process leaves the first instance's log as it is; its
  // first line opens the fallback log instead.
  if (ProcessState.restartCount == 0) OpenLog("ZemSim.log");

  LogFormat("ZemSim (%d)\n", ProcessState.restartCount);
  PrintFormat("ZemSim (%d)\n", ProcessState.restartCount);
  Print("ZemSim Simulator Interface Started\n");
  Print("\n");

  if (ProcessState.isRestart) {
    Log("This is a restart.\n");
    platform::SleepMs(3000);
  }

  InitTraffic();

  const bool configured = ReadConfig();
  if (!configured) platform::ShowBlockingNotice("Config file not found. Using Defaults.", "Note");
  if (!quickEditOff) Log("StartUp() - QuickEdit of the console could not be switched off\n");

  PrintFormat(" Block 1: %d\n", static_cast<int>(BLOCK_1_SIZE));
  PrintFormat(" Block 2: %d\n", static_cast<int>(BLOCK_2_SIZE));
  PrintFormat(" Block 3: %d\n", static_cast<int>(BLOCK_3_SIZE));
  PrintFormat("FP Block: %d\n", static_cast<int>(sizeof(FlightPlanBlockRecord)));
  Print("\n");

  // Before the first connect, so that the handshake's answers are in it.
  StartRunRecording();
  InitSimulatorLink();
  ResetBlocks();
  InitDB();

  if (!InitSimUDP(Settings.ipaddress, Settings.ipmask, SERVICES_MAJOR_VERSION, SERVICES_MINOR_VERSION)) {
    Log("InitSimUDP() - failed\n");
    platform::ExitProcess(ExitCode::NetworkStartFailed);
  }
  ShowSummary(configured);

  StartWorker("receive", ReceiveThread);
  StartWorker("simulator polling", SimPollThread);
  StartWorker("monitor", Monitor);
  StartWorker("traffic", TrafficLoop);
  StartWorker("console", ConsoleLoop);
  if (Settings.remote) StartWorker("remote broadcast", RemoteBroadcast);
}

}  // namespace

void ConnectStep() {
  if (SimConnected) {
    TestKey();
  } else if (FSUIPCConnect(InstallTabKeyOnConnect) == 0) {
    // The connect set SimConnected with the link, under the lock.
    SimLossAnnounced = false;
    RecordSimulatorConnected(IpcLink.serverVersion, IpcLink.simulatorVersion, IpcLink.transport->Where());
    Print("Connected to simulator\n");
    ReportSimulatorState(true, {});
  } else {
    ReportSimulatorState(false, SimulatorProblem());
  }
}

namespace {

// Ends this process for the successor that a restart asked for.
[[noreturn]] void EndForRestart() {
  // The successor records into a file of its own.
  RecordRestart(ProcessState.restartCount + 1);
  StopRecording();
  if (!platform::HandOverToSuccessor()) Log("MainLoop() - No successor could be started\n");
  platform::ExitProcess(ExitCode::Restarted);
}

}  // namespace

[[noreturn]] void MainLoop() {
  constexpr uint32_t WAIT_MS = 1000;
  for (;;) {
    platform::SleepMs(1);
    if (ProcessState.quitRequested) EndForRestart();
    ConnectStep();
    StatusStep();
    // A restart asked for meanwhile is not kept waiting for the rest of the second.
    if (WaitForQuit(WAIT_MS)) EndForRestart();
  }
}

[[noreturn]] void RunNode(int argc, char** argv) {
  StartUp(argc, argv);
  MainLoop();
}
