#include "node/startup.h"

#include "flightplan/flight_plan.h"
#include "net/monitor.h"
#include "net/receive.h"
#include "net/remote_broadcast.h"
#include "net/udp_startup.h"
#include "node/sim_poll.h"
#include "platform/platform.h"
#include "process/console.h"
#include "process/log.h"
#include "process/print.h"
#include "process/process_state.h"
#include "process/settings.h"
#include "simlink/blocks.h"
#include "simlink/hot_keys.h"
#include "simlink/sim_connection.h"
#include "traffic/traffic.h"
#include "vardb/var_table.h"

namespace {


constexpr int32_t SERVICES_MAJOR_VERSION = 0;
constexpr int32_t SERVICES_MINOR_VERSION = 27;

// A worker that cannot be created is logged; the node goes on without it.
void StartWorker(const char* name, void (*body)()) {
  if (!platform::StartThread(body)) LogFormat("StartUp() - The %s thread could not be created\n", name);
}

void StartUp(int argc, char** argv) {
  ParseCommandLine(platform::CommandLineArguments(argc, argv));

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

  if (!ReadConfig()) platform::ShowBlockingNotice("Config file not found. Using Defaults.", "Note");

  PrintFormat(" Block 1: %d\n", static_cast<int>(BLOCK_1_SIZE));
  PrintFormat(" Block 2: %d\n", static_cast<int>(BLOCK_2_SIZE));
  PrintFormat(" Block 3: %d\n", static_cast<int>(BLOCK_3_SIZE));
  PrintFormat("FP Block: %d\n", static_cast<int>(sizeof(FlightPlanBlockRecord)));
  Print("\n");

  InitSimulatorLink();
  InitDB();

  if (!InitSimUDP(Settings.ipaddress, Settings.ipmask, SERVICES_MAJOR_VERSION, SERVICES_MINOR_VERSION)) {
    Log("InitSimUDP() - failed\n");
    platform::ExitProcess(100);
  }

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
  } else if (FSUIPCConnect() == 0) {
    // The connect set SimConnected with the link, under the lock.
    SimLossAnnounced = false;
    Print("Connected to simulator\n");
  }
}

namespace {

// Ends this process for the successor that a restart asked for.
[[noreturn]] void EndForRestart() {
  if (!platform::HandOverToSuccessor()) Log("MainLoop() - No successor could be started\n");
  platform::ExitProcess(0);
}

}  // namespace

[[noreturn]] void MainLoop() {
  constexpr uint32_t WAIT_MS = 1000;
  constexpr uint32_t QUIT_CHECK_MS = 10;
  for (;;) {
    platform::SleepMs(1);
    if (ProcessState.quitRequested) EndForRestart();
    ConnectStep();
    // A restart asked for meanwhile is not kept waiting for the rest of the second.
    for (uint32_t waited = 0; waited < WAIT_MS; waited += QUIT_CHECK_MS) {
      if (ProcessState.quitRequested) EndForRestart();
      platform::SleepMs(QUIT_CHECK_MS);
    }
  }
}

[[noreturn]] void RunNode(int argc, char** argv) {
  StartUp(argc, argv);
  MainLoop();
}
