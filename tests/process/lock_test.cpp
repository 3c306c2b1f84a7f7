#include <chrono>
#include <thread>

#include "process/log.h"
#include "process/resource.h"
#include "support/files.h"
#include "support/test_support.h"

namespace {

TEST(NamedLock, WaitRunsOutAfterAboutTwoAndAHalfSecondsAndNamesTheCaller) {
  static ResourceHandle handle = RegisterResource("Held");  // kept for good, as the node's own locks are
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

}  // namespace
