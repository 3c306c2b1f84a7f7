// The node as a real process: start-up order, banner, log files and
// configuration, first start and restart.

#include <regex>

#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::string NodeProgram() { return ProgramBeside("zemsim"); }

class NodeStartUp : public testing::Test {
 protected:
  void SetUp() override { directory_ = MakeFreshDirectory("node"); }
  std::string In(const char* name) const { return (fs::path(directory_) / name).string(); }
  std::string directory_;
};

// Without a configuration file the node would choose a real address of the
// host; its input stays open here, so it waits at the notice.
TEST_F(NodeStartUp, FirstStartWithoutConfigurationShowsTheNoticeAfterBannerAndFreshLog) {
  WriteWholeFile(In("ZemSim.log"), "an older run\n");
  ScopedChild node({NodeProgram()}, directory_, In("console.txt"), true);
  ASSERT_TRUE(node.started());
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "Config file not found. Using Defaults.", 15000))
      << ReadTextFile(In("console.txt"));
  std::string console = ReadTextFile(In("console.txt"));
  EXPECT_EQ(console.rfind("ZemSim (0)\nZemSim Simulator Interface Started\n\n", 0), 0u) << console;

  std::vector<std::string> log = SplitLines(ReadWholeFile(In("ZemSim.log")));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "Log started.");
  EXPECT_TRUE(std::regex_match(log[1], std::regex(R"(\d\d:\d\d:\d\d:\d\d\d  ZemSim \(0\))"))) << log[1];
  EXPECT_FALSE(fs::exists(In("ZEMDefault.log")));
}

TEST_F(NodeStartUp, RestartLeavesZemSimLogAloneAndReadsTheConfigurationAfterItsPause) {
  WriteWholeFile(In("ZemSim.log"), "the first instance\n");
  WriteWholeFile(In("ZemSim.cfg"), "ipaddress 127.0.0.1 Colour blue port 9100\n");
  ScopedChild node({NodeProgram(), "-rx", "2"}, directory_, In("console.txt"));
  ASSERT_TRUE(node.started());
  ASSERT_TRUE(WaitForFileText(In("ZEMDefault.log"), "ZemSim Config file closed\n", 20000))
      << ReadWholeFile(In("ZEMDefault.log"));
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "FP Block: 1016\n\n", 5000)) << ReadTextFile(In("console.txt"));
  EXPECT_NE(ReadTextFile(In("console.txt")).find(" Block 1: 360\n Block 2: 192\n Block 3: 280\nFP Block: 1016\n"),
            std::string::npos);

  EXPECT_EQ(ReadWholeFile(In("ZemSim.log")), "the first instance\n");
  std::vector<std::string> log = SplitLines(ReadWholeFile(In("ZEMDefault.log")));
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[0], "Log Started - Already initialized");
  EXPECT_EQ(log[1].substr(14), "ZemSim (2)");
  EXPECT_EQ(log[2].substr(14), "This is a restart.");
  auto lineOf = [&log](const std::string& text) {
    for (size_t i = 0; i < log.size(); ++i) {
      if (log[i].size() >= 14 && log[i].substr(14) == text) return i;
    }
    return log.size();
  };
  size_t unknown = lineOf("Unable to recognize: colour");
  ASSERT_LT(unknown, log.size());
  EXPECT_EQ(lineOf("ZemSim Config file closed"), unknown + 1);
  // The configuration is read after the restart's pause of three seconds.
  auto seconds = [](const std::string& line) {
    return std::stoi(line.substr(0, 2)) * 3600 + std::stoi(line.substr(3, 2)) * 60 + std::stoi(line.substr(6, 2)) +
           std::stoi(line.substr(9, 3)) / 1000.0;
  };
  double pause = seconds(log[unknown]) - seconds(log[2]);
  if (pause < 0) pause += 24 * 3600;
  EXPECT_GE(pause, 2.9);
}

}  // namespace
