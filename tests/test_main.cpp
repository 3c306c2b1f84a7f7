// Test runner: gives the binary a fresh directory of its own (a death-test
// child, which the test framework starts in the directory the binary was
// started in, finds its parent's through the environment), moves the file-system root into it, and
// stands in as the successor process that the restart tests start.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/child_process.h"
#include "process/log.h"
#include "process/resource.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {
constexpr const char kDirectoryVariable[] = "ZEMSIM_TEST_DIRECTORY";
std::string testDirectory;
std::string testProgram;

bool IsDeathTestChild(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--gtest_internal_run_death_test", 31) == 0) return true;
  }
  return false;
}

// Started by Restart: record the arguments as the successor saw them.
int RunAsRestartProbe(int argc, char** argv) {
  std::ofstream out("restart-probe.txt", std::ios::app | std::ios::binary);
  out << argc;
  for (int i = 1; i < argc; ++i) out << '|' << argv[i];
  out << '\n';
  return 0;
}
// A test that leaves a named lock held would hang the next caller of that
// lock in the node for good: it fails here, named after the lock.
class LocksLeftHeld : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo&) override {
    const char* held = HeldResourceName();
    EXPECT_EQ(held, nullptr) << "the lock " << held << " is still held after the test";
  }
};
}  // namespace

const std::string& TestDirectory() { return testDirectory; }
const std::string& TestProgramPath() { return testProgram; }

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "-rx") == 0) return RunAsRestartProbe(argc, argv);

  testProgram = fs::absolute(argv[0]).string();
  const bool deathTestChild = IsDeathTestChild(argc, argv);  // gtest removes its flags from argv
  const char* parentDirectory = std::getenv(kDirectoryVariable);
  if (deathTestChild && parentDirectory != nullptr) {
    fs::current_path(parentDirectory);
  } else {
    std::random_device random;
    fs::path directory = fs::temp_directory_path() / ("zemsim-tests-" + std::to_string(random()));
    fs::create_directories(directory);
    fs::current_path(directory);
    platform::SetEnvironmentValue(kDirectoryVariable, directory.string().c_str());
  }
  testDirectory = fs::current_path().string();
  fs::create_directories(fs::path(testDirectory) / "root");
  platform::SetFileSystemRoot((fs::path(testDirectory) / "root").string());
  // Nothing here waits for a person at a keyboard, nor for a click.
  platform::SetEnvironmentValue("ZEMSIM_HEADLESS", "1");
  if (std::freopen(ZEMSIM_NULL_DEVICE, "r", stdin) == nullptr) {
    std::fprintf(stderr, "Test runner: cannot read from %s\n", ZEMSIM_NULL_DEVICE);
    return 2;
  }

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new LocksLeftHeld);
  if (!deathTestChild) Log("Tests started\n");
  int result = RUN_ALL_TESTS();
  if (result == 0 && !deathTestChild) {
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(), ignored);
    fs::remove_all(testDirectory, ignored);
  }
  return result;
}
