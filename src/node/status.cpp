#include "node/status.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ipc/batch.h"
#include "ipc/link.h"
#include "net/ipv4_text.h"
#include "net/net_state.h"
#include "node/sim_poll.h"
#include "platform/platform.h"
#include "process/log.h"
#include "process/print.h"
#include "process/process_state.h"
#include "process/settings.h"
#include "process/text.h"
#include "simlink/sim_connection.h"
#include "vardb/change_var.h"

namespace {

// Registrations without an answer before the operator is told.
constexpr uint32_t UNANSWERED_LIMIT = 10;
constexpr int64_t STATUS_SECONDS = 60;

// Main thread only.
std::string simulatorProblemShown;
bool simulatorEverConnected = false;
bool commgrMissingShown = false;
bool commgrWasConnected = false;
bool commgrEverConnected = false;
std::string titleShown;
int64_t statusDueAt = 0;  // seconds on the steady clock; 0: not yet started
uint64_t blocksAtLastStatus = 0;
uint64_t changesAtLastStatus = 0;
uint64_t listsAtLastStatus = 0;
uint64_t heldAtLastStatus = 0;

int64_t SteadySeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A tests' run may ask for a shorter period; the operator's is a minute.
int64_t StatusPeriod() {
  const char* asked = std::getenv("ZEMSIM_STATUS_SECONDS");
  const int32_t seconds = asked != nullptr ? LeadingDecimal(asked) : 0;
  return seconds > 0 ? seconds : STATUS_SECONDS;
}

// The line on the console with the wall-clock time, and in the log (which
// stamps it itself) behind the name of the operation that writes it.
void Tell(const char* operation, const std::string& text) {
  const platform::LocalClock now = platform::LocalTimeNow();
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d ", now.hour, now.minute, now.second);
  Print((clock + text + "\n").c_str());
  Log((std::string(operation) + " - " + text + "\n").c_str());
}

std::string CommgrAddress() {
  if (!GetResource(NetState.ClientLock, "ReportNetworkState()")) return "?";
  const Ipv4Endpoint at = NetState.CommMgrAddr;
  ReleaseResource(NetState.ClientLock, "ReportNetworkState()");
  return DottedDecimal(at.address) + " port " + std::to_string(at.port);
}

void ReportNetworkState() {
  const bool connected = NetState.Connected;
  if (!connected && !commgrMissingShown && NetState.UnansweredRegistrations >= UNANSWERED_LIMIT) {
    const Ipv4Endpoint to = NetState.MonitorBcastAddr;
    char text[400];
    FormatText(text, sizeof text,
               "No answer from ComMgr after %u s of registrations to %s port %u: check ipaddress and ipmask in "
               "ZemSim.cfg, that ComMgr runs on this network, and that the firewall lets UDP out to port %u and in "
               "to port %d",
               UNANSWERED_LIMIT, DottedDecimal(to.address).c_str(), to.port, to.port, Settings.port);
    Tell("ReportNetworkState()", text);
    commgrMissingShown = true;
  }
  if (connected && !commgrWasConnected && (commgrMissingShown || commgrEverConnected)) {
    Tell("ReportNetworkState()", (commgrEverConnected ? "ComMgr answers again from " : "ComMgr answers from ") +
                                     CommgrAddress());
  }
  if (connected) {
    commgrMissingShown = false;
    commgrEverConnected = true;
  }
  commgrWasConnected = connected;
}

void ShowTitle() {
  const std::string title = StatusTitle(SimConnected, NetState.Connected);
  if (title == titleShown) return;
  titleShown = title;
  platform::SetConsoleTitleText(title.c_str());
}

void LogStatus() {
  const int64_t now = SteadySeconds();
  const int64_t period = StatusPeriod();
  if (statusDueAt == 0) statusDueAt = now + period;
  if (now < statusDueAt) return;
  statusDueAt = now + period;
  const uint64_t blocks = BlocksSent, changes = ChangesApplied, lists = IpcListsSent(), held = IpcListsHeld();
  char text[300];
  FormatText(text, sizeof text,
             "Status() - simulator %s, ComMgr %s; last %lld s: %llu blocks sent, %llu changes applied, %.1f lists/s, "
             "%llu held for a frame's end; restarts so far: %d\n",
             SimConnected ? "connected" : "not connected", NetState.Connected ? "connected" : "not connected",
             static_cast<long long>(period), static_cast<unsigned long long>(blocks - blocksAtLastStatus),
             static_cast<unsigned long long>(changes - changesAtLastStatus),
             static_cast<double>(lists - listsAtLastStatus) / static_cast<double>(period),
             static_cast<unsigned long long>(held - heldAtLastStatus),
             static_cast<int>(ProcessState.restartCount));
  Log(text);
  blocksAtLastStatus = blocks;
  changesAtLastStatus = changes;
  listsAtLastStatus = lists;
  heldAtLastStatus = held;
}

}  // namespace

std::string StatusTitle(bool simulatorConnected, bool commgrConnected) {
  return std::string("ZemSim \u2014 simulator ") + (simulatorConnected ? "connected" : "waiting") + " \u2014 ComMgr " +
         (commgrConnected ? "connected" : "waiting");
}

void ReportSimulatorState(bool connected, const std::string& problem) {
  if (connected) {
    if (!simulatorProblemShown.empty() || simulatorEverConnected) {
      const std::string where = IpcLink.transport != nullptr ? IpcLink.transport->Where() : "the simulator";
      Tell("ReportSimulatorState()", (simulatorEverConnected ? "Simulator reached again at " : "Simulator reached at ") + where);
    }
    simulatorProblemShown.clear();
    simulatorEverConnected = true;
    return;
  }
  if (problem.empty() || problem == simulatorProblemShown) return;
  Tell("ReportSimulatorState()", "Simulator cannot be reached: " + problem);
  simulatorProblemShown = problem;
}

void StatusStep() {
  ReportNetworkState();
  ShowTitle();
  LogStatus();
}
