#include <atomic>
#include <thread>

#include "net/ipv4_text.h"
#include "net/net_state.h"
#include "net/udp_startup.h"
#include "process/process_state.h"
#include "process/settings.h"
#include "process/text.h"
#include "support/files.h"
#include "support/test_support.h"

namespace {

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
