// The node as a real process on its first start: banner, log file and the
// notice of a missing configuration.

#include <regex>

#include "support/files.h"
#include "support/processes.h"
#include "support/test_support.h"

namespace {

// Without a configuration file the node would choose a real address of the
// host; its input stays open here, so it waits at the notice.
TEST(NodeStartUp, FirstStartWithoutConfigurationShowsTheNoticeAfterBannerAndFreshLog) {
  const RunDirectory run("node");
  const auto in = [&run](const char* name) { return run.In(name); };
  WriteWholeFile(in("ZemSim.log"), "an older run\n");
  ScopedChild node({ProgramBeside("zemsim")}, run.path(), in("console.txt"), true);
  ASSERT_TRUE(WaitForFileText(in("console.txt"), "Config file not found. Using Defaults.", 15000))
      << ReadTextFile(in("console.txt"));
  std::string console = ReadTextFile(in("console.txt"));
  EXPECT_EQ(console.rfind("ZemSim (0)\nZemSim Simulator Interface Started\n\n", 0), 0u) << console;

  std::vector<std::string> log = SplitLines(ReadWholeFile(in("ZemSim.log")));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "Log started.");
  EXPECT_TRUE(std::regex_match(log[1], std::regex(R"(\d\d:\d\d:\d\d:\d\d\d  ZemSim \(0\))"))) << log[1];
  EXPECT_FALSE(std::filesystem::exists(in("ZEMDefault.log")));
}

}  // namespace
