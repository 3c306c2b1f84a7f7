#include "process/startup.h"

#include <thread>

#include "net/monitor.h"
#include "net/receive.h"
#include "net/remote_broadcast.h"
#include "net/udp_startup.h"
#include "platform/platform.h"
#include "flightplan/flight_plan.h"
#include "process/console.h"
#include "process/log.h"
#include "process/print.h"
#include "process/process_state.h"
#include "process/settings.h"
#include "simlink/blocks.h"
#include "simlink/hot_keys.h"
#include "simlink/sim_connection.h"
#include "simlink/sim_poll.h"
#include "traffic/traffic.h"
#include "vardb/var_table.h"

namespace {


constexpr int32_t SERVICES_MAJOR_VERSION = 0;
constexpr int32_t SERVICES_MINOR_VERSION = 27;

void StartThread(void (*body)()) { std::thread(body).detach(); }

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

  StartThread(ReceiveThread);
  StartThread(SimPollThread);
  StartThread(Monitor);
  StartThread(TrafficLoop);
  StartThread(ConsoleLoop);
  if (Settings.remote) StartThread(RemoteBroadcast);
}

}  // namespace

void ConnectStep() {
  if (SimConnected) {
    TestKey();
  } else if (FSUIPCConnect() == 0) {
    SimConnected = true;
    Print("Connected to simulator\n");
  }
}

[[noreturn]] void MainLoop() {
  for (;;) {
    platform::SleepMs(1);
    if (ProcessState.quitRequested) platform::ExitProcess(0);
    ConnectStep();
    platform::SleepMs(1000);
  }
}

[[noreturn]] void PressEnterExit() {
  Print("\nPress \"Enter\" to exit...");
  platform::WaitForInputLine();
  platform::ExitProcess(100);
}

[[noreturn]] void RunNode(int argc, char** argv) {
  StartUp(argc, argv);
  MainLoop();
}
