// Crafted datagrams into the receive path, with the in-process server
// behind ChangeVar.

#include "net/net_state.h"
#include "net/receive.h"
#include "process/process_state.h"
#include "process/report_limit.h"
#include "support/files.h"
#include "support/message_bytes.h"
#include "support/sim_fixture.h"
#include "vardb/var_table.h"
#include "wire/msg_header.h"

namespace {

// The clock of the report periods while a test runs.
int64_t testNow = 0;
int64_t TestClock() { return testNow; }

class Receiving : public SimulatorTest {
 protected:
  // A death test's child runs this fixture's set-up first, whose lines open
  // its log where the binary's own is.
  static std::string ChildLog() { return ReadWholeFile((std::filesystem::path(TestDirectory()) / "ZEMDefault.log").string()); }

  void SetUp() override {
    SimulatorTest::SetUp();
    InitDB();
    if (NetState.ClientLock == nullptr) NetState.ClientLock = RegisterResource("ClientSocket");
    NetState.Connected = false;
    NetState.MsgArrived = false;
    NetState.AddressKnown = false;
    Connect();
    writes.clear();
    // Every test starts in a period of its own, without a summary pending.
    SetReportClock(TestClock);
    EndReportPeriod();
  }
  void TearDown() override {
    EndReportPeriod();
    SetReportClock(nullptr);
    NetState.Connected = false;
    NetState.MsgArrived = false;
    SimulatorTest::TearDown();
  }
  // The period is over and the monitor's tick sums it up; what it printed.
  static std::string EndReportPeriod() {
    testNow += REPORT_PERIOD_MS;
    StdoutCapture out;
    SumUpReports();
    return out.Take();
  }
  // Hands the datagram to the receive path; returns what it printed.
  std::string Handle(std::vector<uint8_t> datagram) {
    datagram.push_back(0);  // room for the terminator
    StdoutCapture out;
    HandleDatagram(datagram.data(), static_cast<int>(datagram.size() - 1));
    return out.Take();
  }
};

TEST_F(Receiving, WrongVersionKeepAliveIsRefused) {
  EXPECT_EQ(Handle(TestMessage(2, 9, 0, 30115)), "HandleNetworkMsgs(Keep Alive) - Invalid message received\n");
  EXPECT_FALSE(NetState.MsgArrived);
}

// An address message that names no place a send can reach neither
// connects the node nor counts as a sign of life.
class UnusableAddresses : public Receiving, public testing::WithParamInterface<std::string> {};

TEST_P(UnusableAddresses, AreDroppedWithALine) {
  LogTail log;
  EXPECT_EQ(Handle(TestMessage(2, 5, 0, MSG_VERSION, std::vector<uint8_t>(GetParam().begin(), GetParam().end()))), "");
  EXPECT_FALSE(NetState.Connected);
  EXPECT_FALSE(NetState.MsgArrived);
  EXPECT_EQ(NetState.ClientSocket, platform::NO_SOCKET);
  EXPECT_FALSE(NetState.AddressKnown);
  EXPECT_EQ(log.Count("Address message without a usable address and port dropped"), 1) << log.Added();
}

INSTANTIATE_TEST_SUITE_P(Table, UnusableAddresses,
                         testing::Values("192.168.1.5", "192.168.1.5 0", "192.168.1.5 65536", "192.168.1.5 -9050",
                                         "commgr.local 9050", "192.168.1 9050", "192.168.1.256 9050",
                                         "0.0.0.0 9050", "255.255.255.255 9050", std::string(300, '7') + " 9050"));

// The items of one message reach the simulator in one exchange, the same
// writes in the same order; a read-change-write item takes the writes
// before it along, so that it reads what they wrote.
struct ExchangeCase {
  const char* name;
  std::vector<uint8_t> items;
  int32_t count;
  std::vector<std::vector<std::string>> exchanges;
};

class ItemExchanges : public Receiving, public testing::WithParamInterface<ExchangeCase> {};

TEST_P(ItemExchanges, AreAsFewAsTheirOrderAllows) {
  RecordExchanges();
  Handle(TestMessage(1, 2, GetParam().count, MSG_VERSION, GetParam().items));
  EXPECT_EQ(exchanges, GetParam().exchanges);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ItemExchanges,
    testing::Values(
        ExchangeCase{"WritesOnly",
                     IntItem(165, 5) + IntItem(21, 7) + IntItem(175, 3) + DoubleItem(114, 1000.0),
                     4,
                     {{"W07BC/4", "W07C8/4", "W089A/2", "W0932/2", "W09CA/2", "W0A62/2", "W0330/2"}}},
        ExchangeCase{"ReadChangeWriteAmongThem",
                     IntItem(165, 5) + IntItem(16, 1) + IntItem(21, 7),
                     3,
                     {{"W07BC/4", "R0D0C/2"}, {"W0D0C/2", "W07C8/4"}}},
        ExchangeCase{"NothingToWrite", IntItem(94, 1) + IntItem(216, 0), 2, {}}), RowName());

// A burst of messages waiting in the socket costs one list, not one a message.
TEST_F(Receiving, MessagesWaitingTogetherShareOneList) {
  NetState.RecvSocket = platform::UdpOpen();
  ASSERT_TRUE(platform::UdpBind(NetState.RecvSocket, 0x7F000001, 0));
  platform::SocketHandle sender = platform::UdpOpen();
  for (int32_t value : {1, 2, 3}) {
    const std::vector<uint8_t> message = TestMessage(1, 2, 1, MSG_VERSION, IntItem(165, value));
    platform::UdpSendTo(sender, message.data(), message.size(), 0x7F000001, platform::LocalPort(NetState.RecvSocket));
  }
  RecordExchanges();
  ReceiveWaiting();
  EXPECT_EQ(exchanges, (std::vector<std::vector<std::string>>{{"W07BC/4", "W07BC/4", "W07BC/4"}}));
  platform::UdpClose(sender);
  platform::UdpClose(NetState.RecvSocket);
  NetState.RecvSocket = platform::NO_SOCKET;
}

TEST_F(Receiving, NothingIsReadPastTheDatagramOrTheMap) {
  LogTail log;
  // Count claims more items than the datagram holds; the last one is cut.
  std::vector<uint8_t> items = IntItem(165, 5) + IntItem(184, 3);
  items.resize(items.size() - 2);
  Handle(TestMessage(1, 2, 1000, MSG_VERSION, items));
  EXPECT_EQ(NodeWrites().size(), 1u);
  EXPECT_EQ(log.Count("runs past"), 1);
  EXPECT_EQ(Handle(TestMessage(1, 2, 1, MSG_VERSION, IntItem(5000000, 1))), "Index: 5000000  Unhandled vartype: 0\n");
  EXPECT_EQ(Handle(TestMessage(1, 2, -4, MSG_VERSION, IntItem(165, 1))), "") << "a negative count carries no items";
  EXPECT_EQ(NodeWrites().size(), 1u);
}

struct DatagramCase {
  const char* name;
  size_t size;
  const char* restartLine;  // nullptr: handled without a restart
};

class DatagramSizes : public Receiving, public testing::WithParamInterface<DatagramCase> {};

// Real datagrams through the receive socket, sizes as the receive call
// reports them. At the restart limit a restart ends the process (100),
// which shows that one was asked for.
TEST_P(DatagramSizes, AskForARestartFrom500Bytes) {
  std::string directory = MakeFreshDirectory("overrun");
  std::vector<uint8_t> datagram =
      GetParam().size == 0 ? std::vector<uint8_t>{} : TestMessage(2, 9, 0, MSG_VERSION, std::vector<uint8_t>(GetParam().size - 36, 0));
  EXPECT_EXIT(
      {
        EnterDirectory(directory);
        ProcessState.restartCount = 3;
        NetState.RecvSocket = platform::UdpOpen();
        platform::UdpBind(NetState.RecvSocket, 0x7F000001, 0);
        platform::UdpSendTo(platform::UdpOpen(), datagram.data(), datagram.size(), 0x7F000001,
                            platform::LocalPort(NetState.RecvSocket));
        PollUDP();
        platform::ExitProcess(NetState.MsgArrived ? 0 : 1);
      },
      testing::ExitedWithCode(GetParam().restartLine ? 100 : 0), "");
  std::string log = ChildLog();
  if (GetParam().restartLine) {
    EXPECT_NE(log.find(GetParam().restartLine), std::string::npos) << log;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DatagramSizes,
    testing::Values(DatagramCase{"FourHundredNinetyNineBytes", 499, nullptr},
                    DatagramCase{"FiveHundredBytes", 500, "PollUDP() - Fatal: Buffer over run on DGRAM. Length = 500\n"},
                    DatagramCase{"ZeroBytes", 0, "Zero Length msg received\n"},
                    DatagramCase{"LongerThanTheBuffer", 2500, "Zero Length msg received\n"}), RowName());

// Anybody on the LAN may send what the node refuses: a flood of it costs
// the log and the console a few lines and one count, never the disk.
struct FloodCase {
  const char* name;
  std::vector<uint8_t> datagram;
  int reportsEach;         // reports of the kind that one datagram makes
  const char* fullReport;  // a log line of each report in full
  const char* kind;        // how the summary names it
  bool console;            // the reports show on the console
};

class RefusedFloods : public Receiving, public testing::WithParamInterface<FloodCase> {};

TEST_P(RefusedFloods, AreCountedOnceAPeriodAndReportedInFullAfterwards) {
  constexpr int FLOOD = 10000;
  const FloodCase& row = GetParam();
  LogTail log;
  std::vector<uint8_t> buffer = row.datagram + std::vector<uint8_t>{0};
  StdoutCapture out;
  for (int i = 0; i < FLOOD; ++i) HandleDatagram(buffer.data(), static_cast<int>(row.datagram.size()));
  const std::string printed = out.Take();
  EXPECT_LE(log.Added().size(), 4000u) << log.Added();
  EXPECT_LE(printed.size(), 1000u) << printed;
  const int inFull = log.Count(row.fullReport);
  ASSERT_GT(inFull, 0) << "the first ones in full";

  const std::string summary = std::string(row.kind) + " ... and " + std::to_string(FLOOD * row.reportsEach - inFull) +
                              " more like it in the last 10 s";
  const std::string summed = EndReportPeriod();
  EXPECT_EQ(log.Count(summary), 1) << log.Added();
  EXPECT_EQ(summed.find(summary + "\n") != std::string::npos, row.console) << summed;

  LogTail after;
  Handle(row.datagram);
  EXPECT_EQ(after.Count(row.fullReport), std::min(row.reportsEach, inFull)) << "in full again: " << after.Added();
}

std::vector<uint8_t> UnknownIndices(int count) {
  std::vector<uint8_t> items;
  for (int i = 0; i < count; ++i) items = items + IntItem(13, 1);  // an integer index no change is known for
  return TestMessage(1, 2, count, MSG_VERSION, items);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedFloods,
    testing::Values(
        FloodCase{"ShorterThanAHeader", std::vector<uint8_t>(20, 0), 1, "is shorter than a message header",
                  "PollUDP() - Datagram shorter than a message header", false},
        FloodCase{"UnknownClass", TestMessage(7, 0), 1, "PollUDP() - Unhandled MSG CLASS: 7", "PollUDP() - Unhandled MSG CLASS",
                  true},
        FloodCase{"WrongVersionKeepAlive", TestMessage(2, 9, 0, 30115), 1,
                  "Message logged by: HandleNetworkMessages(Keep Alive)",
                  "HandleNetworkMsgs(Keep Alive) - Invalid message received", true},
        FloodCase{"FiftyUnknownIndices", UnknownIndices(50), 50, "Message logged by: HandleDataMessages(int)",
                  "HandleDataMessages() - Item refused", false}),
    RowName());

}  // namespace
