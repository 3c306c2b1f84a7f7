#include "simlink/blocks.h"
#include "simlink/hot_keys.h"
#include "support/sim_fixture.h"

namespace {

class HotKeys : public SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    Settings.hotKeyChar = 9;
  }
  void OccupySlots(uint32_t count) {
    for (uint32_t n = 0; n < count; ++n) PutBytes(HOT_KEY_AREA + 4 * n, {static_cast<uint8_t>(0x41 + n % 20), 1, 0, 0});
  }
};

TEST_F(HotKeys, OccupiedSlotsArePassedOverInOneReadOfTheArea) {
  OccupySlots(3);
  RecordExchanges();
  Connect();
  EXPECT_EQ(TabKeySlot, 0x3210u + 12);
  EXPECT_EQ(ByteAt(0x321C), 9);
  EXPECT_EQ(ByteAt(0x321D), 24);
  ASSERT_GE(exchanges.size(), 2u);
  EXPECT_EQ(exchanges[exchanges.size() - 2], std::vector<std::string>{"R3210/224"});
  EXPECT_EQ(exchanges.back(), (std::vector<std::string>{"W321C/1", "W321D/1", "W321E/1", "W321F/1"}));
}

TEST_F(HotKeys, TheLastSlotIsTakenWhenOnlyItIsFree) {
  OccupySlots(55);
  Connect();
  EXPECT_EQ(TabKeySlot, 0x32ECu);
}

struct PressCase {
  uint8_t pressByte;
  uint8_t reported;
};

class Presses : public HotKeys, public testing::WithParamInterface<PressCase> {};

// The key slot is read in the Block 3 batch itself, key character and press
// byte; only a press costs a second exchange, the clearing write, and the
// key test that follows needs none of its own. A press of 1 is not reported.
TEST_P(Presses, TravelInTheBlock3BatchAndAreClearedAndReportedButOne) {
  Connect();
  ResetBlocks();
  PutBytes(TabKeySlot + 3, {GetParam().pressByte});
  RecordExchanges();
  ASSERT_EQ(FSUIPCReadBlock30(), 0u);
  TestKey();
  ASSERT_FALSE(exchanges.empty());
  std::vector<std::string> slotReads(exchanges[0].end() - 2, exchanges[0].end());
  EXPECT_EQ(slotReads, (std::vector<std::string>{"R3210/1", "R3213/1"}));
  std::vector<std::vector<std::string>> after(exchanges.begin() + 1, exchanges.end());
  EXPECT_EQ(after, GetParam().pressByte == 0 ? std::vector<std::vector<std::string>>{}
                                              : std::vector<std::vector<std::string>>{{"W3213/1"}});
  EXPECT_EQ(Block3[Block3Field::HotKeyByte], GetParam().reported);
  EXPECT_EQ(ByteAt(TabKeySlot + 3), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, Presses, testing::Values(PressCase{0, 0}, PressCase{1, 0}, PressCase{2, 2}, PressCase{7, 7}));

// A lost slot re-initialises link and key without a word; but when the
// polling loop declares the simulator lost while the re-initialisation
// closes the link, the link that comes back is announced.
struct LostSlotCase {
  const char* name;
  bool lossDeclaredMeanwhile;
  const char* console;
};

class LostSlots : public HotKeys, public testing::WithParamInterface<LostSlotCase> {};

TEST_P(LostSlots, ReinitialiseLinkAndKey) {
  Connect();
  uint32_t opens = IpcLink.openCounter;
  PutBytes(0x3210, {0x30});  // the simulator gave the slot to another key
  if (GetParam().lossDeclaredMeanwhile) {
    server.onClose = [this] {
      server.onClose = nullptr;
      SimNotResponding();
    };
  }
  StdoutCapture out;
  TestKey();
  EXPECT_EQ(out.Take(), GetParam().console);
  EXPECT_EQ(IpcLink.openCounter, opens + 1);
  EXPECT_EQ(TabKeySlot, 0x3214u) << "the abandoned slot is not cleared and counts as taken";
  EXPECT_TRUE(SimConnected);
}

INSTANTIATE_TEST_SUITE_P(Table, LostSlots,
                         testing::Values(LostSlotCase{"Quietly", false, ""},
                                         LostSlotCase{"LossDeclaredMeanwhile", true,
                                                      "Simulator disconnected\nConnected to simulator\n"}), RowName());

}  // namespace
