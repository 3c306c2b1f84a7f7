// Who may reach the simulator through a bridge: the listen and allow lines
// as a cockpit builder writes them, and the peers they let in.

#include "bridge/bridge_config.h"
#include "support/files.h"
#include "support/test_support.h"

namespace {

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a << 24 | b << 16 | c << 8 | d; }

// The settings a configuration gives, its console lines kept off the tests' output.
BridgeSettings Read(const char* config) {
  BridgeSettings settings;
  StringCharSource source(config);
  StdoutCapture quiet;
  ReadBridgeConfigFrom(source, settings);
  return settings;
}

struct AllowCase {
  const char* name;
  const char* config;
  std::vector<uint32_t> allowed;
  std::vector<uint32_t> refused;
  int unusable;  // lines reported as unusable
};

class AllowLists : public testing::TestWithParam<AllowCase> {};

TEST_P(AllowLists, LetInExactlyThePeersTheyName) {
  LogTail log;
  const BridgeSettings settings = Read(GetParam().config);
  for (uint32_t peer : GetParam().allowed) EXPECT_TRUE(Allowed(settings, peer)) << std::hex << peer;
  for (uint32_t peer : GetParam().refused) EXPECT_FALSE(Allowed(settings, peer)) << std::hex << peer;
  EXPECT_EQ(log.Count("ReadBridgeConfig() - Unable to use: "), GetParam().unusable) << log.Added();
}

INSTANTIATE_TEST_SUITE_P(
    Table, AllowLists,
    testing::Values(
        AllowCase{"NoneIsThisPcOnly", "", {Ip(127, 0, 0, 1)}, {Ip(127, 0, 0, 2), Ip(192, 168, 1, 21)}, 0},
        AllowCase{"OneAddress", "allow 192.168.1.21", {Ip(192, 168, 1, 21)}, {Ip(192, 168, 1, 22), Ip(127, 0, 0, 1)}, 0},
        AllowCase{"Slash24", "ALLOW 192.168.1.77/24", {Ip(192, 168, 1, 0), Ip(192, 168, 1, 255)},
                  {Ip(192, 168, 0, 255), Ip(192, 168, 2, 0)}, 0},
        AllowCase{"Slash31AndSeveralLines", "allow 10.0.0.4/31\nallow 172.16.0.1", {Ip(10, 0, 0, 4), Ip(10, 0, 0, 5), Ip(172, 16, 0, 1)},
                  {Ip(10, 0, 0, 6), Ip(10, 0, 0, 3)}, 0},
        AllowCase{"SlashZeroIsEverybody", "allow 0.0.0.0/0", {Ip(1, 2, 3, 4), Ip(255, 255, 255, 254)}, {}, 0},
        AllowCase{"CommentsDropTheirLine", "// allow 10.0.0.1 and more\nallow 10.0.0.2 //\n10.0.0.3 x\nallow 10.0.0.4",
                  {Ip(10, 0, 0, 2), Ip(10, 0, 0, 4)}, {Ip(10, 0, 0, 1), Ip(10, 0, 0, 3)}, 0},
        AllowCase{"UnusableLinesAdmitNobody",
                  "allow 10.0.0.1/33 allow 10.0.0/8 allow 10.0.0.1/ allow host allow 10.0.0.1/-1 alow 10.0.0.1",
                  {Ip(127, 0, 0, 1)}, {Ip(10, 0, 0, 1)}, 6}),
    RowName());

struct ListenCase {
  const char* text;
  bool valid;
  uint32_t address;
  uint16_t port;
};

class ListenLines : public testing::TestWithParam<ListenCase> {};

TEST_P(ListenLines, AreAddressColonPortAndABadOneChangesNothing) {
  uint32_t address = 7;
  uint16_t port = 7;
  EXPECT_EQ(ParseListen(GetParam().text, address, port), GetParam().valid) << GetParam().text;
  EXPECT_EQ(address, GetParam().valid ? GetParam().address : 7u) << GetParam().text;
  EXPECT_EQ(port, GetParam().valid ? GetParam().port : 7u) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table, ListenLines,
                         testing::Values(ListenCase{"192.168.1.20:9300", true, Ip(192, 168, 1, 20), 9300},
                                         ListenCase{"0.0.0.0:0", true, 0, 0},
                                         ListenCase{"127.0.0.1:65535", true, Ip(127, 0, 0, 1), 65535},
                                         ListenCase{"127.0.0.1:65536", false, 0, 0},
                                         ListenCase{"127.0.0.1", false, 0, 0},
                                         ListenCase{"bridgehost:9300", false, 0, 0},
                                         ListenCase{"127.0.0.1:93a0", false, 0, 0}));

// How long a silent client keeps its place, and how many are served at once.
struct LimitCase {
  const char* name;
  const char* config;
  uint32_t idleSeconds;
  uint32_t maxClients;
  int unusable;
};

class ClientLimits : public testing::TestWithParam<LimitCase> {};

TEST_P(ClientLimits, AreWholeNumbersWithinTheirRange) {
  LogTail log;
  const BridgeSettings settings = Read(GetParam().config);
  EXPECT_EQ(settings.idleSeconds, GetParam().idleSeconds);
  EXPECT_EQ(settings.maxClients, GetParam().maxClients);
  EXPECT_EQ(log.Count("ReadBridgeConfig() - Unable to use: "), GetParam().unusable) << log.Added();
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClientLimits,
    testing::Values(LimitCase{"HalfAMinuteAndSixteenWithoutLines", "", 30, 16, 0},
                    LimitCase{"TheLeast", "idle 1\nclients 1", 1, 1, 0},
                    LimitCase{"TheMost", "IDLE 86400 clients 1000", 86400, 1000, 0},
                    LimitCase{"OutsideOrNoNumberChangeNothing",
                              "idle 0 clients 0 idle 86401 clients 1001 idle -5 clients 1e3 idle 4294967326", 30, 16, 7}),
    RowName());

}  // namespace
