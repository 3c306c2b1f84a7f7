// Threads that want the simulator while a list is out share the next list,
// as a simulator serving one list per frame needs. The interleavings are
// forced: the first list is held in the simulator until every other caller
// is waiting in line.

#include <atomic>
#include <thread>

#include "ipc/batch.h"
#include "simlink/blocks.h"
#include "support/sim_fixture.h"
#include "wire/bytes.h"

namespace {

using Caller = std::function<bool()>;

class SharedLists : public SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    Connect();
    for (uint32_t offset = 0x1000; offset < 0x1100; offset += 4) PutU32At(offset, offset);
  }

  // Runs the first caller until its list is in the simulator, then each of
  // the others on a thread of its own, each in line before the next starts,
  // then lets the simulator answer, after the step given (on the simulator's
  // side, before any later list). Each caller's result, in order.
  std::vector<int> WhileAListIsOut(const Caller& first, const std::vector<Caller>& waiting,
                                   const std::function<void()>& beforeTheAnswer = {}) {
    std::atomic<int> lists{0};
    std::atomic<bool> released{false};
    RecordExchanges([&] {
      if (++lists != 1) return;
      while (!released) platform::SleepMs(1);
      if (beforeTheAnswer) beforeTheAnswer();
    });
    std::vector<int> results(waiting.size() + 1, -1);
    std::vector<std::thread> threads;
    threads.emplace_back([&] { results[0] = first(); });
    EXPECT_TRUE(Eventually([&] { return lists == 1; }, 5000)) << "the first list is out";
    for (size_t i = 0; i < waiting.size(); ++i) {
      threads.emplace_back([&, i] { results[i + 1] = waiting[i](); });
      EXPECT_TRUE(Eventually([&] { return BatchesWaiting() == i + 1; }, 5000)) << "caller " << i + 1 << " in line";
    }
    released = true;
    for (std::thread& thread : threads) thread.join();
    server.tamper = nullptr;
    return results;
  }

  static Caller ReadAt(uint32_t offset, uint32_t size = 4) {
    return [offset, size] {
      std::vector<uint8_t> bytes(size);
      return FSUIPCRead(offset, size, bytes.data()) == 1 && (size != 4 || GetU32(bytes.data()) == offset);
    };
  }
  static Caller WriteAt(uint32_t offset) {
    return [offset] {
      const uint8_t byte = 1;
      return FSUIPCWrite(offset, 1, &byte) == 1;
    };
  }
  // The records of a Block 1 read made alone.
  std::vector<std::string> Block1Alone() {
    RecordExchanges();
    EXPECT_EQ(FSUIPCReadBlock10(), 0u);
    return exchanges.at(0);
  }
  using Lists = std::vector<std::vector<std::string>>;
  static std::vector<std::string> Join(std::vector<std::string> records, const std::vector<std::string>& more) {
    records.insert(records.end(), more.begin(), more.end());
    return records;
  }
};

TEST_F(SharedLists, CallersWaitingTogetherShareTheNextListInTheOrderTheyCame) {
  EXPECT_EQ(WhileAListIsOut(ReadAt(0x1000), {ReadAt(0x1010), WriteAt(0x2000), ReadAt(0x1020)}),
            (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(exchanges, (Lists{{"R1000/4"}, {"R1010/4", "W2000/1", "R1020/4"}}));
}

TEST_F(SharedLists, ABlocksReadsTravelWholeAndInTheirOrder) {
  const std::vector<std::string> block1 = Block1Alone();
  EXPECT_EQ(WhileAListIsOut(ReadAt(0x1000), {ReadAt(0x1010), [] { return FSUIPCReadBlock10() == 0; }, ReadAt(0x1020)}),
            (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(exchanges, (Lists{{"R1000/4"}, Join(Join({"R1010/4"}, block1), {"R1020/4"})}));
}

TEST_F(SharedLists, WritesStayInFrontOfTheReadQueuedAfterThem) {
  const Caller changeThenRead = [] {
    OpenWriteBatch();
    const uint8_t one = 1;
    FSUIPCWrite(0x2000, 1, &one);
    FSUIPCWrite(0x2001, 1, &one);
    const bool read = ReadAt(0x1030)();
    CloseWriteBatch();
    return read;
  };
  EXPECT_EQ(WhileAListIsOut(ReadAt(0x1000), {WriteAt(0x3000), changeThenRead, WriteAt(0x3001)}),
            (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(exchanges, (Lists{{"R1000/4"}, {"W3000/1", "W2000/1", "W2001/1", "R1030/4", "W3001/1"}}));
}

// The network's changes are posted: their thread goes back to the network
// at once, and they go in the next list, in front of what came after them.
TEST_F(SharedLists, PostedChangesLeaveTheirCallerAtOnceAndGoInTheNextList) {
  std::atomic<bool> posterBack{false};
  const Caller postedChange = [&] {
    OpenWriteBatch();
    const uint8_t one = 1;
    FSUIPCWrite(0x2000, 1, &one);
    CloseWriteBatch();
    posterBack = true;
    return true;
  };
  const auto posterBackWhileTheListIsOut = [&] { EXPECT_TRUE(Eventually([&] { return posterBack.load(); }, 5000)); };
  EXPECT_EQ(WhileAListIsOut(ReadAt(0x1000), {postedChange, ReadAt(0x1010)}, posterBackWhileTheListIsOut),
            (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(exchanges, (Lists{{"R1000/4"}, {"W2000/1", "R1010/4"}}));
}

TEST_F(SharedLists, ACallerWhoseRequestsDoNotFitGoesInTheNextList) {
  EXPECT_EQ(WhileAListIsOut(ReadAt(0x1000), {ReadAt(0x0000, 20000), ReadAt(0x1010), ReadAt(0x0000, 20000)}),
            (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(exchanges, (Lists{{"R1000/4"}, {"R0000/20000", "R1010/4"}, {"R0000/20000"}}));
}

TEST_F(SharedLists, AListThatFailsFailsEveryCallerInIt) {
  IpcTiming.sendAttempts = 1;
  const auto failTheNextLists = [this] {
    server.failingAttempts = 1000;
    server.failure = IpcAttempt::Failed;
  };
  EXPECT_EQ(WhileAListIsOut(ReadAt(0x1000), {ReadAt(0x1010), WriteAt(0x2000), ReadAt(0x1020)}, failTheNextLists),
            (std::vector<int>{1, 0, 0, 0}));
  EXPECT_EQ(exchanges.size(), 1u) << "the second list never reached the simulator";
}

}  // namespace
