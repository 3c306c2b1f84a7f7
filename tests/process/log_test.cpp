#include "process/log.h"
#include "support/files.h"
#include "support/test_support.h"

namespace {

// Which file a fresh process logs to is decided once, by its first line;
// each case runs in a child process of its own, in a directory of its own.
class LogChoice : public testing::Test {
 protected:
  RunDirectory run_{"logchoice"};
  const std::string directory_ = run_.path();
};

// Two ways the current directory cannot take the log: the file cannot be
// opened (a directory has its name), or its path is one character over the
// 400-character field (a cut path would name another file).
class LogFallback : public LogChoice, public testing::WithParamInterface<bool> {};

TEST_P(LogFallback, TakesTheDirectoryAtTheRoot) {
  std::filesystem::path start = directory_;
  if (GetParam()) {
    // With its separator and "ZemSim.log" the path is 400 characters.
    start = start / std::string(200, 'e') / std::string(400 - 11 - directory_.size() - 202, 'f');
    // A Windows current directory stays within 260 characters: the field always holds it.
    if (platform::PathSeparator() == '\\') GTEST_SKIP() << "no such current directory here";
  }
  std::filesystem::create_directories(GetParam() ? start : start / "ZemSim.log");
  const std::filesystem::path fallback = platform::RootPath("ZemSim");
  std::filesystem::create_directories(fallback);
  EXPECT_EXIT(
      {
        EnterDirectory(start.string());
        OpenLog("ZemSim.log");
        Log("to the fallback\n");
        platform::ExitProcess(0);
      },
      testing::ExitedWithCode(0), "");
  std::string content = ReadWholeFile((fallback / "ZemSim.log").string());
  std::filesystem::remove_all(fallback);
  EXPECT_EQ(content.rfind("Log started.\n", 0), 0u) << content;
  EXPECT_NE(content.find("to the fallback"), std::string::npos);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory_)) {
    EXPECT_TRUE(entry.is_directory()) << "no file of another name: " << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(FileCannotBeOpenedOrPathOneOverTheField, LogFallback, testing::Bool());

TEST_F(LogChoice, NoWritablePlaceSilencesTheLogAndTheProcessRunsOn) {
  std::filesystem::create_directories(run_.In("ZEMDefault.log"));
  EXPECT_EXIT(
      {
        EnterDirectory(directory_);
        Log("lost\n");
        Log("lost too\n");
        LogUnlocked("lost as well\n");
        platform::ExitProcess(LogFilePath().empty() ? 3 : 4);
      },
      testing::ExitedWithCode(3), "");
}

}  // namespace
