#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "process/settings.h"
#include "support/test_support.h"

namespace {

struct ConfigCase {
  const char* name;
  std::string text;
  std::function<void(const SettingsRecord&)> expect;
};

void PrintTo(const ConfigCase& c, std::ostream* out) { *out << c.name; }

class ConfigText : public testing::TestWithParam<ConfigCase> {
 protected:
  void SetUp() override { Settings = SettingsRecord{}; }
  void TearDown() override { Settings = SettingsRecord{}; }
};

TEST_P(ConfigText, SetsWhatTheFileSays) {
  StringCharSource source(GetParam().text);
  ReadConfigFrom(source);
  GetParam().expect(Settings);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigText,
    testing::Values(
        ConfigCase{"KeysAreCaseInsensitive", "PORT 9100\nUdpWait 7\n",
                   [](const SettingsRecord& s) { EXPECT_EQ(s.port, 9100); EXPECT_EQ(s.udpwait, 7); }},
        ConfigCase{"PairSpansLines", "port\n\n  9100 udpinterval\t25",
                   [](const SettingsRecord& s) { EXPECT_EQ(s.port, 9100); EXPECT_EQ(s.udpinterval, 25); }},
        ConfigCase{"BooleanOnlyTrueSwitchesOn", "activateoffset TRUE debugoffset yes",
                   [](const SettingsRecord& s) { EXPECT_TRUE(s.activateoffset); EXPECT_FALSE(s.debugoffset); }},
        ConfigCase{"RemoteIgnoresItsValue", "remote no", [](const SettingsRecord& s) { EXPECT_TRUE(s.remote); }},
        ConfigCase{"ZemKeyTabAfterNone", "zemkey none zemkey tab",
                   [](const SettingsRecord& s) { EXPECT_EQ(s.hotKeyChar, 9); }},
        ConfigCase{"ZemKeyOtherValueKeepsIt", "zemkey none zemkey space",
                   [](const SettingsRecord& s) { EXPECT_EQ(s.hotKeyChar, 0); }},
        ConfigCase{"NumbersTakeLeadingDigits", "udpwait -12abc udpinterval +40",
                   [](const SettingsRecord& s) {
                     EXPECT_EQ(s.udpwait, -12);
                     EXPECT_EQ(s.udpinterval, 40);
                   }},
        ConfigCase{"CommentOfTwoWordsDropsItsLine", "// a comment port 1\nport 9100\n",
                   [](const SettingsRecord& s) { EXPECT_EQ(s.port, 9100); }},
        ConfigCase{"CommentOfOneWordTakesNextLine", "//\nport 9100 udpwait 5\nudpinterval 33\n",
                   [](const SettingsRecord& s) {
                     EXPECT_EQ(s.port, 9030);
                     EXPECT_EQ(s.udpwait, 100);
                     EXPECT_EQ(s.udpinterval, 33);
                   }},
        ConfigCase{"LongWordIsCutAndPairingKept", "ipaddress " + std::string(150, 'a') + " port 9100",
                   [](const SettingsRecord& s) {
                     EXPECT_EQ(std::string(s.ipaddress), std::string(99, 'a'));
                     EXPECT_EQ(s.port, 9100);
                   }},
        ConfigCase{"KeyWithoutValueAtEndIsIgnored", "port 9100 udpwait",
                   [](const SettingsRecord& s) { EXPECT_EQ(s.port, 9100); EXPECT_EQ(s.udpwait, 100); }}), RowName());

// A port the node cannot bind as written is refused, so that the
// registration never advertises a port where nobody listens.
struct PortCase {
  const char* text;
  int32_t port;
  int refused;
};

class ConfigPorts : public testing::TestWithParam<PortCase> {};

TEST_P(ConfigPorts, OnlyOneTo65535IsTaken) {
  Settings = SettingsRecord{};
  LogTail log;
  StringCharSource source(GetParam().text);
  ReadConfigFrom(source);
  EXPECT_EQ(Settings.port, GetParam().port);
  EXPECT_EQ(log.Count("is outside 1 to 65535; keeping"), GetParam().refused) << log.Added();
  Settings = SettingsRecord{};
}

INSTANTIATE_TEST_SUITE_P(Table, ConfigPorts,
                         testing::Values(PortCase{"port 1", 1, 0}, PortCase{"port 65535", 65535, 0},
                                         PortCase{"port 0", 9030, 1}, PortCase{"port 65536", 9030, 1},
                                         PortCase{"port 74566", 9030, 1}, PortCase{"port -1", 9030, 1},
                                         PortCase{"port abc", 9030, 1}, PortCase{"port 9100 port 70000", 9100, 1}));

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

// The sample the packages ship is read as it stands: every line a comment
// or a key the node knows, with the values it explains.
TEST_F(ConfigFile, ShippedSampleIsReadCleanly) {
  const std::string sample =
      (std::filesystem::path(TestProgramPath()).parent_path() / "samples" / "ZemSim.cfg").string();
  WriteWholeFile("ZemSim.cfg", ReadWholeFile(sample));
  LogTail log;
  StdoutCapture out;
  ASSERT_TRUE(ReadConfig());
  EXPECT_EQ(out.Take(), "");
  EXPECT_EQ(log.Count("Unable to recognize"), 0) << log.Added();
  EXPECT_EQ(Settings.port, 9030);
  EXPECT_EQ(Settings.hotKeyChar, 9);
  EXPECT_FALSE(Settings.remote);
}

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
