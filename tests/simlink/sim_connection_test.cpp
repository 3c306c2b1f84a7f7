#include <gtest/gtest.h>

#include <cstring>

#include "node/sim_poll.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"

namespace {

class Connection : public SimulatorTest {};

TEST_F(Connection, ReadAndWriteAreOneExchangeEachAndFailWhileDown) {
  uint8_t byte = 0x42;
  EXPECT_EQ(FSUIPCWrite(0x0D0C, 1, &byte), 0u);
  EXPECT_EQ(FSUIPCRead(0x0D0C, 1, &byte), 0u);
  Connect();
  uint32_t before = server.attempts;
  EXPECT_EQ(FSUIPCWrite(0x0D0C, 1, &byte), 1u);
  byte = 0;
  EXPECT_EQ(FSUIPCRead(0x0D0C, 1, &byte), 1u);
  EXPECT_EQ(byte, 0x42);
  EXPECT_EQ(server.attempts, before + 2);
  FSUIPCClose();
  EXPECT_FALSE(SimConnected);
  EXPECT_EQ(FSUIPCRead(0x0D0C, 1, &byte), 0u);
  EXPECT_EQ(FSUIPCWrite(0x0D0C, 1, &byte), 0u);
}

TEST_F(Connection, ReadTooLargeForTheListFails) {
  Connect();
  static uint8_t big[IPC_LIST_LIMIT];
  EXPECT_EQ(FSUIPCRead(0, IPC_LIST_LIMIT, big), 0u);
}

TEST_F(Connection, CloseWhileDownTakesNoLock) {
  ASSERT_TRUE(GetResource(FsuipcLock, "Test()"));
  LogTail log;
  std::thread([] { FSUIPCClose(); }).join();
  ReleaseResource(FsuipcLock, "Test()");
  EXPECT_EQ(log.Count("timed out"), 0);
}

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

TEST_F(Connection, LostSimulatorIsToldOnceAndTheLinkClosed) {
  Connect();
  StdoutCapture out;
  SimNotResponding();
  SimNotResponding();
  EXPECT_EQ(out.Take(), "Simulator disconnected\n");
  EXPECT_FALSE(SimConnected);
  EXPECT_EQ(IpcLink.view, nullptr);
}

TEST_F(Connection, PollingStepsReadOnlyBlock3WhileDown) {
  Settings.hotKeyChar = 0;  // no key poll beside the block read
  uint32_t before = server.attempts;
  SimPollStep(0);
  SimPollStep(1);
  SimPollStep(2);
  EXPECT_EQ(server.attempts, before);
  Connect();
  before = server.attempts;
  for (uint32_t step = 0; step < 3; ++step) SimPollStep(step);
  EXPECT_EQ(server.attempts, before + 3) << "one exchange per block";
  EXPECT_TRUE(SimConnected);
}

TEST_F(Connection, FailedBlockReadClosesTheLinkAndTheNextStepReadsNothing) {
  Connect();
  server.answer = 0;
  StdoutCapture out;
  SimPollStep(0);
  EXPECT_FALSE(SimConnected);
  uint32_t before = server.attempts;
  SimPollStep(1);
  EXPECT_EQ(server.attempts, before);
  EXPECT_EQ(out.Take(), "Simulator disconnected\n");
}

}  // namespace
