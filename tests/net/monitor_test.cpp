#include "net/monitor.h"
#include "net/net_state.h"
#include "net/remote_broadcast.h"
#include "process/settings.h"
#include "process/text.h"
#include "support/sim_fixture.h"
#include "support/sockets.h"
#include "wire/msg_header.h"

namespace {

class MonitorTicks : public SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    NetState.Connected = false;
    NetState.MsgArrived = false;
    NetState.MissedTicks = 0;
    NetState.Heartbeat = 0;
    NetState.AddressKnown = true;  // an address message came before
    CopyText(NetState.AdvertisedIp, "0.0.0.0");
    if (NetState.MonitorBcastSocket == platform::NO_SOCKET) NetState.MonitorBcastSocket = platform::UdpOpen();
    NetState.MonitorBcastAddr = {0x7F000001, registrations.port()};  // the test stands in for the subnet
  }
  // The registration sent on this tick, or an empty datagram.
  std::vector<uint8_t> Tick() {
    StdoutCapture out;
    MonitorTick();
    printed += out.Take();
    std::vector<std::vector<uint8_t>> sent = registrations.SentSoFar(NetState.MonitorBcastSocket);
    EXPECT_LE(sent.size(), 1u) << "one registration a tick";
    return sent.empty() ? std::vector<uint8_t>{} : sent[0];
  }
  LoopbackReceiver registrations;
  std::string printed;
};

TEST_F(MonitorTicks, RegistersUntilAMessageAndIsLostOnTheSixthSilentTick) {
  const std::vector<uint8_t> registration = Tick();  // not connected: registering
  ASSERT_EQ(registration.size(), 56u);
  const MsgHeader header = ReadMsgHeader(registration.data());
  EXPECT_EQ((std::vector<int64_t>{header.MsgClass, header.MsgType, header.Source, header.Version}),
            (std::vector<int64_t>{2, 9, 14, 30116}));
  EXPECT_EQ(std::string(registration.begin() + 36, registration.end()), "0.0.0.0 9030 1 1502\n");
  NetState.MsgArrived = true;
  EXPECT_TRUE(Tick().empty()) << "a message while not connected connects";
  EXPECT_TRUE(NetState.Connected);
  EXPECT_EQ(printed, "Connected to CommMgr\n");
  for (int silent = 1; silent <= 5; ++silent) {
    EXPECT_TRUE(Tick().empty()) << silent;
    EXPECT_TRUE(NetState.Connected) << silent;
    EXPECT_EQ(NetState.MissedTicks, silent);
  }
  EXPECT_FALSE(Tick().empty()) << "the tick that loses the connection registers at once";
  EXPECT_FALSE(NetState.Connected);
  EXPECT_EQ(NetState.MissedTicks, 6);
  EXPECT_EQ(printed, "Connected to CommMgr\nConnection with CommMgr lost\n");
  EXPECT_FALSE(Tick().empty());
  EXPECT_EQ(NetState.MissedTicks, 6) << "kept until a message arrives";
}

// A ComMgr that still knows a restarted node keeps sending it keep-alives;
// without an address message the node has nowhere to send, so it goes on
// registering instead of counting itself connected.
TEST_F(MonitorTicks, KeepAlivesBeforeAnyAddressMessageDoNotConnect) {
  NetState.AddressKnown = false;
  for (int tick = 1; tick <= 3; ++tick) {
    NetState.MsgArrived = true;
    EXPECT_FALSE(Tick().empty()) << "registering on tick " << tick;
    EXPECT_FALSE(NetState.Connected);
  }
  EXPECT_EQ(printed, "");
}

// The heartbeat costs no exchange of its own: it rides at the end of the
// next list any thread sends.
TEST_F(MonitorTicks, HeartbeatCountsOnEveryTickAndRidesOnTheNextExchange) {
  Connect();
  NetState.Connected = true;
  for (int tick = 1; tick <= 257; ++tick) {
    NetState.MsgArrived = true;
    RecordExchanges();
    ASSERT_TRUE(Tick().empty()) << "connected: no registration on tick " << tick;
    ASSERT_TRUE(exchanges.empty()) << tick;
    uint8_t byte = 0;
    ASSERT_EQ(FSUIPCRead(0x3304, 1, &byte), 1u);
    ASSERT_EQ(exchanges, (std::vector<std::vector<std::string>>{{"R3304/1", "W7800/1"}})) << tick;
    ASSERT_EQ(ByteAt(HEARTBEAT_OFFSET), static_cast<uint8_t>(tick)) << tick;
  }
  EXPECT_EQ(NetState.Heartbeat, 1) << "255, 0, 1";
}

}  // namespace
