#include <cstring>

#include "node/sim_poll.h"
#include "support/sim_fixture.h"

namespace {

class Connection : public SimulatorTest {};

// A simulator that stops answering keeps one thread inside an exchange while
// the others give up on the lock: the link must count as down at once and
// be opened anew as soon as the lock is free again.
TEST_F(Connection, CloseWithoutTheLockTakesTheLinkDownAndTheNextConnectOpensItAnew) {
  Connect();
  ASSERT_TRUE(GetResource(FsuipcLock, "Holder()"));
  uint32_t before = server.attempts;
  uint32_t result = 1;
  std::thread([&] {
    uint8_t byte = 0;
    result = FSUIPCRead(0x3304, 1, &byte);
    FSUIPCClose();
  }).join();
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(server.attempts, before) << "nothing reaches the link without the lock";
  EXPECT_FALSE(SimConnected);
  EXPECT_NE(IpcLink.view, nullptr) << "the holder's exchange is left to finish";
  ReleaseResource(FsuipcLock, "Holder()");

  uint32_t opened = IpcLink.openCounter;
  EXPECT_EQ(FSUIPCConnect(), 0u);
  EXPECT_EQ(IpcLink.openCounter, opened + 1);
  uint8_t byte = 0;
  EXPECT_EQ(FSUIPCRead(0x3304, 1, &byte), 1u);
}

// The main loop's connect (or TestKey's) can come the moment a close gives
// the lock back: that reopened link must not be marked down afterwards,
// which would leave it open for good while every connect is refused.
TEST_F(Connection, AReopenRightAfterACloseKeepsTheLinkAndItsFlagTogether) {
  Connect();
  SetReleaseHook([](const char* caller) {
    if (std::strcmp(caller, "FSUIPCClose()") != 0) return;
    SetReleaseHook(nullptr);
    FSUIPCConnect();
  });
  FSUIPCClose();
  EXPECT_EQ(SimConnected.load(), IpcLink.view != nullptr);
  if (!SimConnected) {
    EXPECT_EQ(FSUIPCConnect(), 0u) << "the next connect opens the link again";
  }
  uint8_t byte = 0;
  EXPECT_EQ(FSUIPCRead(0x3304, 1, &byte), 1u);
}

}  // namespace
