#include <atomic>
#include <thread>

#include "net/ipv4_text.h"
#include "net/net_state.h"
#include "net/udp_startup.h"
#include "process/process_state.h"
#include "process/settings.h"
#include "process/text.h"
#include "support/test_support.h"

namespace {

struct TextCase {
  const char* text;
  uint32_t address;
};

class DottedDecimalText : public testing::TestWithParam<TextCase> {};

TEST_P(DottedDecimalText, ReadsFourPartsOrNothing) {
  EXPECT_EQ(ParseDottedDecimal(GetParam().text), GetParam().address);
}

void PrintTo(const TextCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

INSTANTIATE_TEST_SUITE_P(Table, DottedDecimalText,
                         testing::Values(TextCase{"127.0.0.1", 0x7F000001}, TextCase{"192.168.1.20", 0xC0A80114},
                                         TextCase{"0.0.0.0", 0}, TextCase{"255.255.255.255", INVALID_IPV4},
                                         TextCase{"256.1.1.1", INVALID_IPV4}, TextCase{"1.2.3", INVALID_IPV4},
                                         TextCase{"1.2.3.4.5", INVALID_IPV4}, TextCase{"1.2.3.4 ", INVALID_IPV4},
                                         TextCase{"a.b.c.d", INVALID_IPV4}, TextCase{"", INVALID_IPV4},
                                         TextCase{"0001.2.3.4", INVALID_IPV4}));

uint32_t Ip(const char* text) { return ParseDottedDecimal(text); }

struct SearchCase {
  const char* name;
  std::vector<uint32_t> addresses;
  const char* selected;  // nullptr: none chosen
  int nonRoutableLines;
};

class AddressSearch : public testing::TestWithParam<SearchCase> {
 protected:
  void SetUp() override {
    NetState.SelectedIp[0] = '\0';
    CopyText(NetState.AdvertisedIp, "0.0.0.0");
  }
};

TEST_P(AddressSearch, PrefersAPrivateNetworkByItsText) {
  LogTail log;
  bool chosen = SearchHostAddress(GetParam().addresses);
  EXPECT_EQ(chosen, GetParam().selected != nullptr);
  if (chosen) {
    EXPECT_STREQ(NetState.SelectedIp, GetParam().selected);
    EXPECT_STREQ(NetState.AdvertisedIp, GetParam().selected);
  }
  EXPECT_EQ(log.Count("Non-routable network selected - IP: "), GetParam().nonRoutableLines);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressSearch,
    testing::Values(SearchCase{"PrivateAfterPublic", {Ip("203.0.113.5"), Ip("192.168.1.20")}, "192.168.1.20", 1},
                    SearchCase{"OnlyPublicTakesTheLast", {Ip("203.0.113.5"), Ip("198.51.100.7")}, "198.51.100.7", 0},
                    SearchCase{"TenNeedsItsDot", {Ip("100.64.0.1"), Ip("8.8.8.8")}, "8.8.8.8", 0},
                    SearchCase{"TextPrefixOnly192", {Ip("192.0.2.1"), Ip("10.0.0.1")}, "192.0.2.1", 1},
                    SearchCase{"TextPrefixOnly172", {Ip("172.217.1.1")}, "172.217.1.1", 1},
                    SearchCase{"Ten", {Ip("10.1.2.3"), Ip("192.168.0.1")}, "10.1.2.3", 1},
                    SearchCase{"Empty", {}, nullptr, 0}), RowName());

struct BroadcastCase {
  const char* address;
  const char* mask;
  uint16_t port;
  const char* broadcast;
};

class Broadcasts : public testing::TestWithParam<BroadcastCase> {};

TEST_P(Broadcasts, AreTheSubnetWithAllHostBitsSet) {
  StdoutCapture out;
  Ipv4Endpoint& record = GetBroadcastAddress(false, GetParam().address, GetParam().mask, GetParam().port);
  EXPECT_EQ(DottedDecimal(record.address), GetParam().broadcast);
  EXPECT_EQ(record.port, GetParam().port);
  EXPECT_EQ(&record, GetParam().port == 9019 ? &NetState.MonitorBcastAddr : &NetState.RemoteBcastAddr);
  EXPECT_NE(out.Take().find(std::string("    Net: \t") + GetParam().broadcast + "\n\n"), std::string::npos);
}

void PrintTo(const BroadcastCase& c, std::ostream* out) { *out << c.address << "/" << c.mask << ":" << c.port; }

INSTANTIATE_TEST_SUITE_P(Table, Broadcasts,
                         testing::Values(BroadcastCase{"192.168.1.20", "255.255.255.0", 9019, "192.168.1.255"},
                                         BroadcastCase{"192.168.1.20", "255.255.0.0", 9102, "192.168.255.255"},
                                         BroadcastCase{"127.0.0.1", "255.255.255.0", 9019, "127.0.0.255"}));

// A restarted instance can find its predecessor still on the node's port:
// it waits for the port instead of ending, so that a node keeps running.
// A first start has no predecessor and fails at once, as before.
class UdpStartUpOnABusyPort : public testing::TestWithParam<int32_t> {
 protected:
  void TearDown() override {
    for (platform::SocketHandle* socket : {&NetState.RecvSocket, &NetState.MonitorBcastSocket}) {
      if (*socket != platform::NO_SOCKET) platform::UdpClose(*socket);
      *socket = platform::NO_SOCKET;
    }
    ProcessState.restartCount = 0;
    Settings = SettingsRecord{};
  }
};

TEST_P(UdpStartUpOnABusyPort, WaitsOnlyWhenRestarted) {
  const bool restarted = GetParam() > 0;
  platform::SocketHandle predecessor = platform::UdpOpen();
  ASSERT_TRUE(platform::UdpBind(predecessor, 0x7F000001, 0));
  Settings = SettingsRecord{};
  Settings.port = platform::LocalPort(predecessor);
  ProcessState.restartCount = GetParam();
  LogTail log;
  StdoutCapture out;
  std::atomic<int> result{-1};
  std::thread startUp([&] { result = InitSimUDP("127.0.0.1", "", 0, 27) ? 1 : 0; });
  while (result < 0 && log.Count("is in use; waiting up to 30 s for it") == 0) platform::SleepMs(10);
  platform::UdpClose(predecessor);  // the predecessor ends
  startUp.join();
  EXPECT_EQ(result, restarted ? 1 : 0) << log.Added();
  EXPECT_EQ(log.Count("is in use; waiting up to 30 s for it"), restarted ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Counts, UdpStartUpOnABusyPort, testing::Values(0, 1, 3));

}  // namespace
