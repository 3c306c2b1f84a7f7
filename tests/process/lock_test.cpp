#include <chrono>
#include <thread>

#include "process/fatal.h"
#include "process/log.h"
#include "process/resource.h"
#include "support/test_support.h"

namespace {

// Named locks live as long as the process, as the node's own do.
ResourceHandle RegisterKept(const char* name) {
  static auto* kept = new std::vector<ResourceHandle>;  // never destroyed
  kept->push_back(RegisterResource(name));
  return kept->back();
}

TEST(NamedLock, WaitRunsOutAfterAboutTwoAndAHalfSecondsAndNamesTheCaller) {
  ResourceHandle handle = RegisterKept("Held");
  ASSERT_TRUE(GetResource(handle, "Holder()"));
  LogTail log;
  bool got = true;
  auto waited = std::chrono::milliseconds(0);
  std::thread([&] {
    auto start = std::chrono::steady_clock::now();
    got = GetResource(handle, "Waiter()");
    waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }).join();
  ReleaseResource(handle, "Holder()");
  EXPECT_FALSE(got);
  EXPECT_GE(waited.count(), 2400);
  EXPECT_EQ(log.Count("GetResource() - Mutex wait timed out. Caller: Waiter()"), 1);
}

TEST(NamedLockDeath, WaitOnALockNeverRegisteredEndsWith9191) {
  std::string directory = MakeFreshDirectory("nulllock");
  EXPECT_EXIT(
      {
        EnterDirectory(directory);
        GetResource(nullptr, "Early()");
      },
      testing::ExitedWithCode(platform::ReportedExitCode(9191)), "");
  std::string log = ReadWholeFile((std::filesystem::path(directory) / "ZEMDefault.log").string());
  EXPECT_NE(log.find("GetResource() - Null Mutex. Caller: Early()\n"), std::string::npos) << log;
}

}  // namespace
