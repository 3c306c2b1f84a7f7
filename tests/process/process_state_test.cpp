#include "process/process_state.h"
#include "support/test_support.h"

namespace {

struct CommandLineCase {
  std::vector<std::string> arguments;
  int32_t restartCount;
  bool isRestart;
};

class CommandLines : public testing::TestWithParam<CommandLineCase> {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    ProcessState.restartCount = 0;
    ProcessState.isRestart = false;
    ProcessState.programPath[0] = '\0';
  }
};

TEST_P(CommandLines, OnlyThreeArgumentsMeanARestart) {
  ParseCommandLine(GetParam().arguments);
  EXPECT_EQ(ProcessState.restartCount, GetParam().restartCount);
  EXPECT_EQ(ProcessState.isRestart, GetParam().isRestart);
  EXPECT_EQ(std::string(ProcessState.programPath), GetParam().arguments[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLines,
    testing::Values(CommandLineCase{{"zemsim"}, 0, false}, CommandLineCase{{"zemsim", "-rx"}, 0, false},
                    CommandLineCase{{"zemsim", "-rx", "2", "x"}, 0, false},
                    CommandLineCase{{"zemsim", "-rx", "2"}, 2, true},
                    CommandLineCase{{"zemsim", "-rx", "word"}, 0, true},
                    CommandLineCase{{"zemsim", "-rx", "-4"}, 0, true}));

}  // namespace
