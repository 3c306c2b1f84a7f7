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

}  // namespace
