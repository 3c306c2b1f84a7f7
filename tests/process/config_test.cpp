#include <cstring>
#include <sstream>

#include "process/settings.h"
#include "support/files.h"
#include "support/test_support.h"

namespace {

// What the text changed from the defaults, as " key value" pairs.
std::string Changed(const SettingsRecord& s) {
  const SettingsRecord d{};
  std::ostringstream out;
  if (s.port != d.port) out << " port " << s.port;
  if (s.udpwait != d.udpwait) out << " udpwait " << s.udpwait;
  if (s.udpinterval != d.udpinterval) out << " udpinterval " << s.udpinterval;
  if (s.hotKeyChar != d.hotKeyChar) out << " key " << static_cast<int>(s.hotKeyChar);
  if (s.remote != d.remote) out << " remote " << s.remote;
  if (s.activateoffset != d.activateoffset) out << " activate " << s.activateoffset;
  if (s.debugoffset != d.debugoffset) out << " debugoffset " << s.debugoffset;
  if (std::strcmp(s.ipaddress, d.ipaddress) != 0) out << " ip " << s.ipaddress;
  if (std::strcmp(s.record, d.record) != 0) out << " record " << s.record;
  return out.str();
}

struct ConfigCase {
  const char* name;
  std::string text;
  std::string changed;
  // A port the node cannot bind as written is refused, so that the
  // registration never advertises a port where nobody listens.
  int refusedPorts;
  // A key followed by another key has lost its value; the user is told.
  int missingValues = 0;
};

class ConfigText : public testing::TestWithParam<ConfigCase> {
 protected:
  void SetUp() override { Settings = SettingsRecord{}; }
  void TearDown() override { Settings = SettingsRecord{}; }
};

TEST_P(ConfigText, SetsWhatTheFileSays) {
  LogTail log;
  StringCharSource source(GetParam().text);
  ReadConfigFrom(source);
  EXPECT_EQ(Changed(Settings), GetParam().changed);
  EXPECT_EQ(log.Count("is outside 1 to 65535; keeping"), GetParam().refusedPorts) << log.Added();
  EXPECT_EQ(log.Count("is a value missing?"), GetParam().missingValues) << log.Added();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigText,
    testing::Values(
        ConfigCase{"KeysAreCaseInsensitive", "PORT 9100\nUdpWait 7\n", " port 9100 udpwait 7", 0},
        ConfigCase{"RecordKeepsTheCaseOfItsFolder", "RECORD /Flights/Evening ipaddress ABC",
                   " ip abc record /Flights/Evening", 0},
        ConfigCase{"PairSpansLines", "port\n\n  9100 udpinterval\t25", " port 9100 udpinterval 25", 0},
        ConfigCase{"OnlyTrueSwitchesOnRemoteIgnoresItsValue", "activateoffset TRUE debugoffset yes remote no",
                   " remote 1 activate 1", 0},
        ConfigCase{"ZemKeyTabAfterNone", "zemkey none zemkey tab", "", 0},
        ConfigCase{"ZemKeyOtherValueKeepsIt", "zemkey none zemkey space", " key 0", 0},
        ConfigCase{"NumbersTakeLeadingDigits", "udpwait -12abc udpinterval +40", " udpwait -12 udpinterval 40", 0},
        ConfigCase{"CommentOfTwoWordsDropsItsLine", "// a comment port 1\nport 9100\n", " port 9100", 0},
        ConfigCase{"CommentOfOneWordTakesNextLine", "//\nport 9100 udpwait 5\nudpinterval 33\n", " udpinterval 33", 0},
        ConfigCase{"CommentJoinedToItsWordTakesNextLine", "//port 9100\n", "", 0},
        ConfigCase{"CommentWordJoinedTakesNextLine", "//note\nport 9100 udpwait 5\nudpinterval 33\n", " udpinterval 33", 0},
        ConfigCase{"OneSlashIsNoComment", "/ x port 9100\n", " port 9100", 0},
        ConfigCase{"CommentDropsNinetyNineCharactersOfItsLine", "// c " + std::string(98, 'y') + " port 9100\n", " port 9100", 0},
        ConfigCase{"CommentRestPastNinetyNineIsRead", "// c " + std::string(99, 'y') + " port 9100 udpwait 5\n", "", 0},
        ConfigCase{"WordOfNinetyNineKept", "ipaddress " + std::string(99, 'b'), " ip " + std::string(99, 'b'), 0},
        ConfigCase{"LongWordIsCutAndPairingKept", "ipaddress " + std::string(150, 'a') + " port 9100",
                   " port 9100 ip " + std::string(99, 'a'), 0},
        ConfigCase{"KeyWithoutValueAtEndIsIgnored", "port 9100 udpwait", " port 9100", 0},
        ConfigCase{"KeyWithoutValueTakesTheNextKey", "remote udpwait 7", " remote 1", 0, 1},
        ConfigCase{"PortsOneAnd65535", "port 1 udpwait 1 port 65535", " port 65535 udpwait 1", 0},
        ConfigCase{"PortsOutsideKeepTheOneInForce", "port 0 port 65536 port 9100 port 74566 port -1 port abc",
                   " port 9100", 5}),
    RowName());

// The real file, in the current directory or in the configuration directory
// at the (test's own) file-system root.
class ConfigFile : public testing::Test {
 protected:
  void SetUp() override {
    Settings = SettingsRecord{};
    previous_ = std::filesystem::current_path();
    EnterDirectory(MakeFreshDirectory("config"));
  }
  void TearDown() override {
    std::filesystem::remove_all(platform::RootPath("ZemSimConfigs"));
    std::filesystem::current_path(previous_);
    Settings = SettingsRecord{};
  }
  std::filesystem::path previous_;
};

TEST_F(ConfigFile, ConfigurationDirectoryWinsAndHasNoFallback) {
  WriteWholeFile("ZemSim.cfg", "port 9100");
  std::filesystem::path directory = platform::RootPath("ZemSimConfigs");
  std::filesystem::create_directories(directory);
  EXPECT_FALSE(ReadConfig());
  EXPECT_EQ(Settings.port, 9030);

  WriteWholeFile((directory / "ZemSim.cfg").string(), "port 9200");
  EXPECT_TRUE(ReadConfig());
  EXPECT_EQ(Settings.port, 9200);
}

}  // namespace
