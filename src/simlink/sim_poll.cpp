#include "simlink/sim_poll.h"

#include "flightplan/flight_plan.h"
#include "net/msg_header.h"
#include "net/syslog.h"
#include "platform/platform.h"
#include "process/bytes.h"
#include "process/console.h"
#include "process/print.h"
#include "process/settings.h"
#include "simlink/blocks.h"
#include "simlink/sim_connection.h"

namespace {

uint32_t flapsLineNumber = 0;

void PrintFlapsLine() {
  PrintFormat("%3d Model: %s Tot: %2d  Pos: %2d  %% Extended: %f\n", static_cast<int>(flapsLineNumber),
              reinterpret_cast<const char*>(Block2.data() + Block2Field::ModelName),
              static_cast<int>(GetU32(Block2.data() + Block2Field::FlapPositions)),
              GetI32(Block2.data() + Block2Field::FlapPosition),
              GetI32(Block2.data() + Block2Field::FlapExtension) / 16383.0);
  if (++flapsLineNumber > 99) flapsLineNumber = 0;
}

}  // namespace

void SimNotResponding() {
  if (!SimConnected) return;
  FSUIPCClose();
  Print("Simulator disconnected\n");
  SendSysLog(NodeId, 2, "Sim Not Responding.");
}

void SimPollStep(uint32_t step) {
  // The blocks go to the network once its send path joins the node.
  switch (step) {
    case 0:
      if (SimConnected && ReadBlock(10) != 0) SimNotResponding();
      break;
    case 1:
      if (SimConnected && ReadBlock(20) != 0) SimNotResponding();
      break;
    default:
      // Block 3 is read whatever the link says, and goes out every cycle.
      if (ReadBlock(30) != 0) SimNotResponding();
      break;
  }
}

[[noreturn]] void SimPollThread() {
  uint32_t step = 0;
  for (;;) {
    platform::SleepMs(static_cast<uint32_t>(Settings.udpinterval > 0 ? Settings.udpinterval : 0));
    if (showFlaps) PrintFlapsLine();
    SimPollStep(step);
    CheckFlightPlan();
    if (++step > 2) {
      platform::SleepMs(static_cast<uint32_t>(Settings.udpwait > 0 ? Settings.udpwait : 0));
      step = 0;
    }
  }
}
