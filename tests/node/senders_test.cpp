// The polling loop's senders as ComMgr receives them.

#include <cstring>

#include "net/net_state.h"
#include "node/sim_poll.h"
#include "simlink/blocks.h"
#include "support/sim_fixture.h"
#include "support/sockets.h"
#include "traffic/traffic.h"
#include "wire/msg_header.h"

namespace {

class Senders : public SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    if (NetState.ClientLock == nullptr) NetState.ClientLock = RegisterResource("ClientSocket");
    if (TrafficMutex == nullptr) InitTraffic();
    NetState.ClientSocket = platform::UdpOpen();
    NetState.CommMgrAddr = {0x7F000001, commgr.port()};
    NetState.Connected = true;
  }
  void TearDown() override {
    NetState.Connected = false;
    platform::UdpClose(NetState.ClientSocket);
    NetState.ClientSocket = platform::NO_SOCKET;
    SimulatorTest::TearDown();
  }
  LoopbackReceiver commgr;
};

TEST_F(Senders, FiveTypesShareOneSequenceThatWrapsAfter999) {
  BlockSequence = 997;
  SendBlock1();
  SendBlock2();
  SendBlock3();
  SendAirTraffic();
  SendGndTraffic();
  struct Seen {
    uint32_t type;
    size_t size;
    uint32_t seq;
  };
  const Seen expected[] = {{18, 360, 997}, {19, 192, 998}, {20, 280, 999}, {21, 1160, 0}, {22, 1160, 1}};
  for (const Seen& want : expected) {
    std::vector<uint8_t> datagram = commgr.Receive();
    ASSERT_EQ(datagram.size(), want.size) << want.type;
    MsgHeader header = ReadMsgHeader(datagram.data());
    EXPECT_EQ(header.MsgClass, 1u);
    EXPECT_EQ(header.MsgType, want.type);
    EXPECT_EQ(header.SeqNo, want.seq);
    EXPECT_EQ(header.Version, 30116u);
    EXPECT_EQ(header.Source, 14);
    EXPECT_EQ(header.Destination, 2);
    EXPECT_EQ(header.Length, 0u);
    for (size_t byte = 16; byte < 28; ++byte) EXPECT_EQ(datagram[byte], 0) << "type " << want.type << " byte " << byte;
    for (size_t byte = 36; byte < 40; ++byte) EXPECT_EQ(datagram[byte], 0);
  }
}

TEST_F(Senders, WithTheLinkDownOnlyBlock3AndTrafficGoOut) {
  ResetBlocks();
  for (int step = 0; step < 12; ++step) {
    SimPollStep(static_cast<uint32_t>(step % 3));
    SimPollTrafficSlot();
  }
  std::vector<uint32_t> types;
  for (const std::vector<uint8_t>& datagram : commgr.SentSoFar(NetState.ClientSocket)) {
    types.push_back(ReadMsgHeader(datagram.data()).MsgType);
    if (types.back() == MSG_BLOCK_3) {
      EXPECT_EQ(datagram[Block3Field::ConnectedByte], 0);
    }
  }
  EXPECT_EQ(types, (std::vector<uint32_t>{20, 20, 21, 20, 20, 21}));
}

// A ready ground transfer takes one traffic slot; one that completes while
// the last is being sent takes the next, instead of being lost.
struct GroundCase {
  const char* name;
  bool transferDuringTheSend;
  std::vector<uint32_t> types;
};

class GroundSlots : public Senders, public testing::WithParamInterface<GroundCase> {};

TEST_P(GroundSlots, CarryEveryTransfer) {
  groundTrafficReady = true;
  if (GetParam().transferDuringTheSend) {
    SetReleaseHook([](const char* caller) {
      if (std::strcmp(caller, "SendTraffic()") != 0) return;
      SetReleaseHook(nullptr);
      TransferGndTraffic();
    });
  }
  for (int step = 0; step < 18; ++step) SimPollTrafficSlot();
  std::vector<uint32_t> types;
  for (const std::vector<uint8_t>& datagram : commgr.SentSoFar(NetState.ClientSocket)) {
    types.push_back(ReadMsgHeader(datagram.data()).MsgType);
  }
  EXPECT_EQ(types, GetParam().types);
  EXPECT_FALSE(groundTrafficReady);
}

INSTANTIATE_TEST_SUITE_P(Table, GroundSlots,
                         testing::Values(GroundCase{"ReadyBefore", false, {22, 21, 21}},
                                         GroundCase{"ReadyAgainDuringTheSend", true, {22, 22, 21}}), RowName());

}  // namespace
