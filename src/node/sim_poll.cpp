#include "node/sim_poll.h"

#include "flightplan/flight_plan.h"
#include "net/monitor.h"
#include "net/net_state.h"
#include "platform/platform.h"
#include "process/console.h"
#include "process/print.h"
#include "process/settings.h"
#include "process/syslog.h"
#include "simlink/blocks.h"
#include "simlink/sim_connection.h"
#include "traffic/traffic.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

#include <array>
#include <cstring>

uint32_t BlockSequence = 0;
std::atomic<uint64_t> BlocksSent{0};

namespace {

uint32_t flapsLineNumber = 0;
std::array<uint8_t, TRAFFIC_MESSAGE_SIZE> BlockSendBuffer{};  // the polling thread's own
uint32_t trafficStep = 0;

void SendRecord(uint8_t* record, size_t length, uint32_t type) {
  if (NetState.Connected) ++BlocksSent;
  MsgHeader header = ReadMsgHeader(record);
  header.MsgClass = MSG_CLASS_DATA;
  header.MsgType = type;
  header.SeqNo = BlockSequence;
  header.Count = 0;
  header.Source = NODE_SIM;
  WriteMsgHeader(record, header);
  std::memcpy(BlockSendBuffer.data(), record, length);
  UDPSend(BlockSendBuffer.data(), length);
  NextBlockSequence();
}

// The traffic payloads are copied under their lock, so that a transfer is
// never sent half done.
void SendTraffic(TrafficMessage& message, uint32_t type) {
  bool held = GetResource(TrafficMutex, "SendTraffic()");
  MsgHeader header = ReadMsgHeader(message.data());
  header.MsgClass = MSG_CLASS_DATA;
  header.MsgType = type;
  header.SeqNo = BlockSequence;
  header.Count = 0;
  header.Source = NODE_SIM;
  WriteMsgHeader(message.data(), header);
  std::memcpy(BlockSendBuffer.data(), message.data(), message.size());
  if (held) ReleaseResource(TrafficMutex, "SendTraffic()");
  UDPSend(BlockSendBuffer.data(), message.size());
  NextBlockSequence();
}

void PrintFlapsLine() {
  PrintFormat("%3d Model: %s Tot: %2d  Pos: %2d  %% Extended: %f\n", static_cast<int>(flapsLineNumber),
              reinterpret_cast<const char*>(Block2.data() + Block2Field::ModelName),
              static_cast<int>(GetU32(Block2.data() + Block2Field::FlapPositions)),
              GetI32(Block2.data() + Block2Field::FlapPosition),
              GetI32(Block2.data() + Block2Field::FlapExtension) / 16383.0);
  if (++flapsLineNumber > 99) flapsLineNumber = 0;
}

}  // namespace

uint32_t NextBlockSequence() {
  if (++BlockSequence >= 1000) BlockSequence = 0;
  return BlockSequence;
}

void SendBlock1() { SendRecord(Block1.data(), Block1.size(), MSG_BLOCK_1); }
void SendBlock2() { SendRecord(Block2.data(), Block2.size(), MSG_BLOCK_2); }
void SendBlock3() {
  Block3[Block3Field::ConnectedByte] = SimConnected ? 1 : 0;
  SendRecord(Block3.data(), Block3.size(), MSG_BLOCK_3);
}
void SendAirTraffic() { SendTraffic(AirTrafficMessage, MSG_AIR_TRAFFIC); }
void SendGndTraffic() { SendTraffic(GndTrafficMessage, MSG_GND_TRAFFIC); }

void SimPollStep(uint32_t step) {
  switch (step) {
    case 0:
    case 1:
      if (!SimConnected) break;
      if (ReadBlock(step == 0 ? 10 : 20) != BlockRead::Fresh) {
        SimNotResponding();
      } else if (step == 0) {
        SendBlock1();
      } else {
        SendBlock2();
      }
      break;
    default:
      // Block 3 is read whatever the link says, and goes out every cycle.
      if (ReadBlock(30) != BlockRead::Fresh) SimNotResponding();
      SendBlock3();
      break;
  }
}

void SimPollTrafficSlot() {
  if (++trafficStep < 6) return;
  trafficStep = 0;
  // Taken and cleared in one step: a transfer that completes while this one
  // is sent stays ready for the next slot.
  if (groundTrafficReady.exchange(false)) {
    SendGndTraffic();
  } else {
    SendAirTraffic();
  }
}

[[noreturn]] void SimPollThread() {
  uint32_t step = 0;
  for (;;) {
    platform::SleepMs(static_cast<uint32_t>(Settings.udpinterval > 0 ? Settings.udpinterval : 0));
    if (showFlaps) PrintFlapsLine();
    SimPollStep(step);
    CheckFlightPlan(FlightPlanPath.data());
    if (++step > 2) {
      platform::SleepMs(static_cast<uint32_t>(Settings.udpwait > 0 ? Settings.udpwait : 0));
      step = 0;
    }
    SimPollTrafficSlot();
  }
}
