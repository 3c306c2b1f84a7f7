// Every handled FsxIndex against the in-process server: the exact bytes at
// the exact offsets, from the block values the polling loop last read.

#include "simlink/blocks.h"
#include "support/sim_fixture.h"
#include "traffic/traffic_state.h"
#include "vardb/change_var.h"
#include "wire/bytes.h"

namespace {

struct ChangeCase {
  int32_t fsxIndex;
  int32_t value;
  const char* written;  // "OFFSET: BYTES" per write, in order
  const char* note;
};

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
  // The writes the node made, as "07BC: 05 00 00 00; ...".
  std::string Written() const {
    std::string text;
    char part[8];
    for (const Write& write : NodeWrites()) {
      std::snprintf(part, sizeof part, "%04X:", write.offset);
      text += (text.empty() ? "" : "; ") + std::string(part);
      for (uint8_t byte : write.bytes) {
        std::snprintf(part, sizeof part, " %02X", byte);
        text += part;
      }
    }
    return text;
  }
  static void PublishAll() {
    PublishStartingValues(20);
    PublishStartingValues(30);
  }
};

class IntegerChanges : public ChangeVarTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(IntegerChanges, WriteExactlyTheirBytes) {
  EXPECT_TRUE(ChangeVar(GetParam().fsxIndex, GetParam().value));
  EXPECT_EQ(Written(), GetParam().written) << "index " << GetParam().fsxIndex << " = " << GetParam().value << ": "
                                           << GetParam().note;
}

// Every FsxIndex the integer form handles, with the simulator's bytes as a
// cockpit's switch, knob or radio must leave them. Starting values: NAV1
// 110.95, NAV2 111.30, COM1 123.45, COM2 136.95, courses 355 and 0,
// autopilot 5000 ft, heading 90, speed 6, ADF1 1745.0 and ADF2 190.0 kHz.
INSTANTIATE_TEST_SUITE_P(
    Table, IntegerChanges,
    testing::Values(
        ChangeCase{16, 1, "0D0C: 0F 00", "bit 2 set"},
        ChangeCase{16, 2, "0D0C: 0B 00", "any other value clears bit 2"},
        ChangeCase{20, 1500, "07F2: DC 05", "vertical speed"},
        ChangeCase{21, 123456, "07C8: 40 E2 01 00", ""},
        ChangeCase{42, 5, "0BE8: FF 3F 00 00", "any non-zero is fully on"},
        ChangeCase{42, 0, "0BE8: 00 00 00 00", "off"},
        ChangeCase{52, 9, "07DC: 01 00 00 00", ""},
        ChangeCase{52, 0, "07DC: 00 00 00 00", ""},
        ChangeCase{53, 7, "07D0: 07 00 00 00", ""},
        ChangeCase{54, -1, "07D0: FF FF FF FF", ""},
        ChangeCase{69, 0, "3123: 02", ""},
        ChangeCase{70, 0, "3123: 01", ""},
        ChangeCase{71, 0, "0350: 95 11", "NAV1 +1 MHz"},
        ChangeCase{72, 0, "0352: 30 12", "NAV2 +1 MHz"},
        ChangeCase{73, 0, "0350: 00 11", "NAV1 +0.05"},
        ChangeCase{74, 0, "0352: 35 11", "NAV2 +0.05"},
        ChangeCase{75, 0, "0350: 95 09", "NAV1 -1 MHz"},
        ChangeCase{76, 0, "0352: 30 10", "NAV2 -1 MHz"},
        ChangeCase{77, 0, "0350: 90 10", "NAV1 -0.05"},
        ChangeCase{78, 0, "0352: 25 11", "NAV2 -0.05"},
        ChangeCase{79, 0, "3123: 08", ""},
        ChangeCase{80, 0, "3123: 04", ""},
        ChangeCase{81, 0, "034E: 45 24", "COM1 +1 MHz"},
        ChangeCase{82, 0, "3118: 95 18", "COM2 136.95 +1 MHz wraps"},
        ChangeCase{83, 0, "034E: 50 23", "COM1 +0.05"},
        ChangeCase{84, 0, "3118: 00 18", "COM2 136.95 +0.05 is 118.00"},
        ChangeCase{85, 0, "034E: 45 22", "COM1 -1 MHz"},
        ChangeCase{86, 0, "3118: 95 35", "COM2 -1 MHz"},
        ChangeCase{87, 0, "034E: 40 23", "COM1 -0.05"},
        ChangeCase{88, 0, "3118: 90 36", "COM2 -0.05"},
        ChangeCase{89, 0x1234, "0262: 34 12", ""},
        ChangeCase{94, 1, "", "nothing is written"},
        ChangeCase{95, 1, "3428: 88 F4 DB D7 81 13 59 40", "100.0 + 0.3048"},
        ChangeCase{95, 2, "3428: 78 0B 24 28 7E EC 58 40", "100.0 - 0.3048"},
        ChangeCase{95, 3, "3428: 00 00 00 00 00 00 59 40", "other values write it back unchanged"},
        ChangeCase{96, 1, "0330: FA 03", "1013 + 5"},
        ChangeCase{96, 2, "0330: F0 03", "1013 - 5"},
        ChangeCase{97, 2, "0C4E: 05 00", "355 + 10 wraps to 5"},
        ChangeCase{97, 7, "0C4E: 63 01", "unknown step code writes the course unchanged"},
        ChangeCase{98, 3, "0C5E: 67 01", "0 - 1 wraps to 359"},
        ChangeCase{98, 1, "0C5E: 01 00", "0 + 1"},
        ChangeCase{99, 1, "07D4: E1 7A 12 06", "5000 ft + 100 ft"},
        ChangeCase{99, 2, "07D4: CC CC 24 07", "5000 ft + 1000 ft"},
        ChangeCase{99, 4, "07D4: 33 33 C3 04", "5000 ft - 1000 ft"},
        ChangeCase{100, 2, "07CC: 1C 47", "90 degrees + 10 is the raw value of 100"},
        ChangeCase{100, 3, "07CC: 49 3F", "90 degrees - 1"},
        ChangeCase{101, 4, "07E2: 00 00", "6 - 10 floors at 0"},
        ChangeCase{101, 2, "07E2: 10 00", "6 + 10"},
        ChangeCase{102, 0, "07FC: 00 00 00 00 00 00 00 00", "eight zero bytes"},
        ChangeCase{102, 1, "07FC: 01 00 00 00", "four bytes only"},
        ChangeCase{103, 5, "07C4: 05 00 00 00", ""},
        ChangeCase{108, 0x1795, "311E: 95 17", "inside the band unchanged"},
        ChangeCase{108, 0x1800, "311E: 05 08", "folded into the NAV band"},
        ChangeCase{109, 0x0790, "3120: 85 17", "folded into the NAV band"},
        ChangeCase{110, 0x3700, "311A: 00 18", "folded into the COM band"},
        ChangeCase{110, 0x3697, "311A: 97 17", "3696 to 3699 count as above the band"},
        ChangeCase{111, 0x1750, "311C: 50 36", "folded into the COM band"},
        ChangeCase{112, 270, "0C4E: 0E 01", ""},
        ChangeCase{113, 90, "0C5E: 5A 00", ""},
        ChangeCase{116, 90, "07CC: 00 40", ""},
        ChangeCase{116, 360, "07CC: 00 00", "65536 cut to 16 bits"},
        ChangeCase{117, 10000, "07D4: C7 00 E8 0B", ""},
        ChangeCase{118, -3, "07E2: 00 00", ""},
        ChangeCase{118, 250, "07E2: FA 00", ""},
        ChangeCase{162, 1, "", "nothing is written"},
        ChangeCase{164, 3, "2EE0: 01 00 00 00", ""},
        ChangeCase{165, 5, "07BC: 05 00 00 00", ""},
        ChangeCase{166, 0x1130, "0350: 30 11", ""},
        ChangeCase{167, 0x1095, "0352: 95 10", ""},
        ChangeCase{175, 0x0102, "089A: 02 01; 0932: 02 01; 09CA: 02 01; 0A62: 02 01", "four engines in order"},
        ChangeCase{176, 3445, "034C: 44 03; 0356: 05 00", "344.5 kHz"},
        ChangeCase{177, 12345, "02D4: 34 02; 02D6: 05 01", "1234.5 kHz"},
        ChangeCase{180, 100, "034C: 50 07; 0356: 00 01", "1745.0 + 10 stops at 1750.0"},
        ChangeCase{181, 100, "02D4: 00 02; 02D6: 00 00", "190.0 + 10 is 200.0"},
        ChangeCase{182, 100, "034C: 35 07; 0356: 00 01", "1745.0 - 10"},
        ChangeCase{183, 5, "02D4: 90 01; 02D6: 00 00", "190.0 - 0.5 stops at 190.0"},
        ChangeCase{184, 3, "0810: 03 00 00 00", ""},
        ChangeCase{212, 0, "", "zero writes nothing"},
        ChangeCase{212, 5, "07BC: 05 00 00 00", ""},
        ChangeCase{216, 0, "", "the ground-traffic gate is the node's own"}));

TEST_F(ChangeVarTest, TheLightsItemSetsItsOwnBitOnly) {
  PutU16At(0x0D0C, 0x0009);
  EXPECT_TRUE(ChangeVar(16, 1));
  EXPECT_EQ(Written(), "0D0C: 0D 00");
}

TEST_F(ChangeVarTest, GroundTrafficGateIsSetWithTheLinkUpOrDown) {
  for (bool up : {true, false}) {
    if (!up) FSUIPCClose();
    for (int32_t value : {0, 4}) {
      EXPECT_TRUE(ChangeVar(216, value));
      EXPECT_EQ(groundTrafficGate.load(), value) << (up ? "link up" : "link down");
    }
  }
  groundTrafficGate = -1;
}

TEST_F(ChangeVarTest, AltitudeStepDownFloorsAtZero) {
  PutU32(Block3.data() + Block3Field::Altitude, static_cast<uint32_t>(500 * 65536 * 0.3048));
  PublishAll();
  EXPECT_TRUE(ChangeVar(99, 4));
  EXPECT_EQ(Written(), "07D4: 00 00 00 00");
}

// A server that answers lists with reads wrongly (the link itself stays
// usable, so a write would still arrive).
TEST_F(ChangeVarTest, ReadChangeWriteItemsWriteNothingWhenTheReadFails) {
  server.tamper = [](uint8_t* list, uint32_t) {
    if (GetU32(list) == 1) PutU32(list + 12, 77);  // a read's tag the node never gave
  };
  for (int32_t fsx : {16, 95, 96}) EXPECT_TRUE(ChangeVar(fsx, 1));
  EXPECT_EQ(Written(), "");
  EXPECT_TRUE(ChangeVar(165, 1));
  EXPECT_EQ(Written(), "07BC: 01 00 00 00") << "the link still carries writes";
}

TEST_F(ChangeVarTest, DoubleForm) {
  EXPECT_TRUE(ChangeVar(20, 1500.9));
  EXPECT_TRUE(ChangeVar(114, 1000.0));
  StdoutCapture out;
  EXPECT_FALSE(ChangeVar(7, 29.5));
  EXPECT_EQ(out.Take(), "ChangeVar(A: double) - Unknown Index: 7  Val: 29.500000\n");
  EXPECT_EQ(Written(), "07F2: DC 05; 0330: 01 00");  // 1500; 1000 x 0.001845625 truncated
}

}  // namespace
