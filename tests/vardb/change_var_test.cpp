// Every handled FsxIndex against the in-process server: the exact bytes at
// the exact offsets, from the block values the polling loop last read.

#include "simlink/blocks.h"
#include "support/sim_fixture.h"
#include "traffic/traffic_state.h"
#include "vardb/change_var.h"

namespace {

struct Expected {
  uint32_t offset;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> U16(uint32_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
std::vector<uint8_t> U32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

struct ChangeCase {
  int32_t fsxIndex;
  int32_t value;
  std::vector<Expected> writes;
  const char* note;
};

void PrintTo(const ChangeCase& c, std::ostream* out) { *out << "fsx" << c.fsxIndex << "_" << c.value; }

class ChangeVarTest : public SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    Connect();
    // What the polling loop last read.
    PutU16(Block2.data() + Block2Field::Nav1, 0x1095);
    PutU16(Block2.data() + Block2Field::Nav2, 0x1130);
    PutU16(Block2.data() + Block2Field::Com1, 0x2345);
    PutU16(Block2.data() + Block2Field::Com2, 0x3695);
    PutU16(Block2.data() + Block2Field::Course1, 355);
    PutU16(Block2.data() + Block2Field::Course2, 0);
    PutU32(Block3.data() + Block3Field::Altitude, 99876864);  // 5000 ft
    PutU16(Block3.data() + Block3Field::Heading, 16384);      // 90 degrees
    PutU16(Block3.data() + Block3Field::Speed, 6);
    PutU16(Block3.data() + Block3Field::Adf1Main, 0x0745);  // 1745.0 kHz
    PutU16(Block3.data() + Block3Field::Adf1Extension, 0x0100);
    PutU16(Block3.data() + Block3Field::Adf2Main, 0x0190);  // 190.0 kHz
    PutU16(Block3.data() + Block3Field::Adf2Extension, 0x0000);
    PublishAll();
    // Values the read-change-write items find in the simulator.
    PutU16At(0x0D0C, 0x000F);
    PutBytes(0x3428, {0, 0, 0, 0, 0, 0, 0x59, 0x40});  // 100.0
    PutU16At(0x0330, 1013);
    writes.clear();
  }
  static void PublishAll() {
    PublishStartingValues(20);
    PublishStartingValues(30);
  }
};

class IntegerChanges : public ChangeVarTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(IntegerChanges, WriteExactlyTheirBytes) {
  EXPECT_TRUE(ChangeVar(GetParam().fsxIndex, GetParam().value));
  std::vector<Write> made = NodeWrites();
  ASSERT_EQ(made.size(), GetParam().writes.size()) << GetParam().note;
  for (size_t i = 0; i < made.size(); ++i) {
    EXPECT_EQ(made[i].offset, GetParam().writes[i].offset) << GetParam().note;
    EXPECT_EQ(made[i].bytes, GetParam().writes[i].bytes) << GetParam().note << " at 0x" << std::hex << made[i].offset;
  }
}

const std::vector<uint8_t> kZero8(8, 0);

INSTANTIATE_TEST_SUITE_P(
    Table, IntegerChanges,
    testing::Values(
        ChangeCase{16, 1, {{0x0D0C, U16(0x000F)}}, "bit 2 set"},
        ChangeCase{16, 2, {{0x0D0C, U16(0x000B)}}, "any other value clears bit 2"},
        ChangeCase{42, 5, {{0x0BE8, U32(16383)}}, "any non-zero is fully on"},
        ChangeCase{52, 9, {{0x07DC, U32(1)}}, ""},
        ChangeCase{69, 0, {{0x3123, {2}}}, ""},
        ChangeCase{79, 0, {{0x3123, {8}}}, ""},
        ChangeCase{71, 0, {{0x0350, U16(0x1195)}}, "NAV1 +1 MHz"},
        ChangeCase{73, 0, {{0x0350, U16(0x1100)}}, "NAV1 +0.05"},
        ChangeCase{75, 0, {{0x0350, U16(0x0995)}}, "NAV1 -1 MHz"},
        ChangeCase{77, 0, {{0x0350, U16(0x1090)}}, "NAV1 -0.05"},
        ChangeCase{82, 0, {{0x3118, U16(0x1895)}}, "COM2 136.95 +1 MHz wraps"},
        ChangeCase{83, 0, {{0x034E, U16(0x2350)}}, "COM1 +0.05"},
        ChangeCase{84, 0, {{0x3118, U16(0x1800)}}, "COM2 136.95 +0.05 is 118.00"},
        ChangeCase{88, 0, {{0x3118, U16(0x3690)}}, "COM2 -0.05"},
        ChangeCase{94, 1, {}, "nothing is written"},
        ChangeCase{95, 1, {{0x3428, {0x88, 0xf4, 0xdb, 0xd7, 0x81, 0x13, 0x59, 0x40}}}, "100.0 + 0.3048"},
        ChangeCase{95, 3, {{0x3428, {0, 0, 0, 0, 0, 0, 0x59, 0x40}}}, "other values write it back unchanged"},
        ChangeCase{96, 1, {{0x0330, U16(1018)}}, ""},
        ChangeCase{97, 2, {{0x0C4E, U16(5)}}, "355 + 10 wraps to 5"},
        ChangeCase{97, 7, {{0x0C4E, U16(355)}}, "unknown step code writes the course unchanged"},
        ChangeCase{98, 3, {{0x0C5E, U16(359)}}, "0 - 1 wraps to 359"},
        ChangeCase{99, 1, {{0x07D4, U32(101874401)}}, "5000 ft + 100 ft"},
        ChangeCase{99, 4, {{0x07D4, U32(79901491)}}, "5000 ft - 1000 ft"},
        ChangeCase{100, 2, {{0x07CC, U16(18204)}}, "90 degrees + 10 is the raw value of 100"},
        ChangeCase{101, 4, {{0x07E2, U16(0)}}, "6 - 10 floors at 0"},
        ChangeCase{102, 0, {{0x07FC, kZero8}}, "eight zero bytes"},
        ChangeCase{102, 1, {{0x07FC, U32(1)}}, "four bytes only"},
        ChangeCase{108, 0x1795, {{0x311E, U16(0x1795)}}, "inside the band unchanged"},
        ChangeCase{108, 0x1800, {{0x311E, U16(0x0805)}}, "folded into the NAV band"},
        ChangeCase{110, 0x3700, {{0x311A, U16(0x1800)}}, "folded into the COM band"},
        ChangeCase{116, 360, {{0x07CC, U16(0)}}, "65536 cut to 16 bits"},
        ChangeCase{117, 10000, {{0x07D4, U32(199753927)}}, ""},
        ChangeCase{118, -3, {{0x07E2, U16(0)}}, ""},
        ChangeCase{162, 1, {}, "nothing is written"},
        ChangeCase{164, 3, {{0x2EE0, U32(1)}}, ""},
        ChangeCase{175, 0x0102,
                   {{0x089A, U16(0x0102)}, {0x0932, U16(0x0102)}, {0x09CA, U16(0x0102)}, {0x0A62, U16(0x0102)}},
                   "four engines in order"},
        ChangeCase{176, 3445, {{0x034C, U16(0x0344)}, {0x0356, U16(0x0005)}}, "344.5 kHz"},
        ChangeCase{177, 12345, {{0x02D4, U16(0x0234)}, {0x02D6, U16(0x0105)}}, "1234.5 kHz"},
        ChangeCase{180, 100, {{0x034C, U16(0x0750)}, {0x0356, U16(0x0100)}}, "1745.0 + 10 stops at 1750.0"},
        ChangeCase{181, 100, {{0x02D4, U16(0x0200)}, {0x02D6, U16(0x0000)}}, "190.0 + 10 is 200.0"},
        ChangeCase{183, 5, {{0x02D4, U16(0x0190)}, {0x02D6, U16(0x0000)}}, "190.0 - 0.5 stops at 190.0"},
        ChangeCase{184, 3, {{0x0810, U32(3)}}, ""},
        ChangeCase{212, 0, {}, "zero writes nothing"}));

TEST_F(ChangeVarTest, AltitudeStepDownFloorsAtZero) {
  PutU32(Block3.data() + Block3Field::Altitude, static_cast<uint32_t>(500 * 65536 * 0.3048));
  PublishAll();
  EXPECT_TRUE(ChangeVar(99, 4));
  ASSERT_EQ(NodeWrites().size(), 1u);
  EXPECT_EQ(NodeWrites()[0].bytes, U32(0));
}

TEST_F(ChangeVarTest, ReadChangeWriteItemsWriteNothingWhenTheReadFails) {
  server.failingAttempts = 1000;
  server.failure = IpcAttempt::Failed;
  IpcTiming.sendAttempts = 1;
  for (int32_t fsx : {16, 95, 96}) EXPECT_TRUE(ChangeVar(fsx, 1));
  EXPECT_TRUE(NodeWrites().empty());
}

TEST_F(ChangeVarTest, DoubleForm) {
  EXPECT_TRUE(ChangeVar(20, 1500.9));
  EXPECT_TRUE(ChangeVar(114, 1000.0));
  StdoutCapture out;
  EXPECT_FALSE(ChangeVar(7, 29.5));
  EXPECT_EQ(out.Take(), "ChangeVar(A: double) - Unknown Index: 7  Val: 29.500000\n");
  std::vector<Write> made = NodeWrites();
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0].offset, 0x07F2u);
  EXPECT_EQ(made[0].bytes, U16(1500));
  EXPECT_EQ(made[1].offset, 0x0330u);
  EXPECT_EQ(made[1].bytes, U16(1));  // 1000 x 0.001845625 truncated
}

}  // namespace
