#include "process/fatal.h"
#include "process/process_state.h"
#include "process/text.h"
#include "support/files.h"
#include "support/test_support.h"

namespace {

TEST(StationTags, NameTheNodeAndAnUnknownOne) {
  EXPECT_STREQ(StationTag(14), "SIM: ");
  EXPECT_STREQ(StationTag(25), "UNK: ");
}

TEST(RestartCommandLine, AppendsMarkerAndCountQuotingAPathWithBlanks) {
  EXPECT_EQ(RestartCommandLine("zemsim", 3), "zemsim -rx 3 ");
  EXPECT_EQ(RestartCommandLine("C:\\Program Files\\ZemSim\\zemsim.exe", 2),
            "\"C:\\Program Files\\ZemSim\\zemsim.exe\" -rx 2 ");
}

// The successor takes over when the main loop ends this process: on POSIX
// in its place (the same process, whose exit code the successor's becomes),
// on Windows as a process of its own. The program lives in a folder with a
// blank in its name, as under "Program Files": its path stays one argument.
TEST(RestartDeath, HandsOverToOneSuccessorWithTheNextCount) {
  const RunDirectory run("restart");
  const std::filesystem::path program =
      std::filesystem::path(run.path()) / "Cockpit Programs" / std::filesystem::path(TestProgramPath()).filename();
  std::filesystem::create_directories(program.parent_path());
  std::filesystem::copy_file(TestProgramPath(), program);
  EXPECT_EXIT(
      {
        EnterDirectory(run.path());
        ProcessState.restartCount = 1;
        CopyText(ProcessState.programPath, program.string());
        Restart();
        if (!ProcessState.quitRequested || !platform::HandOverToSuccessor()) platform::ExitProcess(1);
        platform::ExitProcess(0);
      },
      testing::ExitedWithCode(0), "");
  ASSERT_TRUE(WaitForFileText(run.In("restart-probe.txt"), "\n", 20000));
  EXPECT_EQ(ReadWholeFile(run.In("restart-probe.txt")), "3|-rx|2\n");
}

}  // namespace
