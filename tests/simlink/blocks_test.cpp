#include "simlink/blocks.h"
#include "support/sim_fixture.h"

namespace {

class Blocks : public SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    ResetBlocks();
  }
};

// Each layout field gets its own recognisable bytes at its simulator offset;
// after one read every field must hold exactly those bytes at its place.
struct LayoutCase {
  const char* name;
  BlockLayout (*layout)();
  uint32_t (*read)();
  uint8_t* (*block)();
};

class BlockLayouts : public Blocks, public testing::WithParamInterface<LayoutCase> {};

TEST_P(BlockLayouts, EveryFieldLandsAtItsPlaceFromItsOffset) {
  Connect();
  BlockLayout layout = GetParam().layout();
  for (size_t i = 0; i < layout.count; ++i) {
    for (uint16_t b = 0; b < layout.fields[i].width; ++b) {
      uint8_t value = static_cast<uint8_t>(0x10 + i * 7 + b);
      server.space.Write(layout.fields[i].simOffset + b, &value, 1);
    }
  }
  ASSERT_EQ(GetParam().read(), 0u);
  const uint8_t* block = GetParam().block();
  for (size_t i = 0; i < layout.count; ++i) {
    for (uint16_t b = 0; b < layout.fields[i].width; ++b) {
      EXPECT_EQ(block[layout.fields[i].blockOffset + b], static_cast<uint8_t>(0x10 + i * 7 + b))
          << "field at block offset " << layout.fields[i].blockOffset << " from 0x" << std::hex
          << layout.fields[i].simOffset;
    }
  }
}

RemoteDataRecord remote;

INSTANTIATE_TEST_SUITE_P(
    Tables, BlockLayouts,
    testing::Values(LayoutCase{"Block1", Block1Layout, FSUIPCReadBlock10, [] { return Block1.data(); }},
                    LayoutCase{"Block2", Block2Layout, FSUIPCReadBlock20, [] { return Block2.data(); }},
                    LayoutCase{"Block3", Block3Layout, FSUIPCReadBlock30, [] { return Block3.data(); }},
                    LayoutCase{"RemoteData", RemoteDataLayout, [] { return ReadRemoteData(&remote); },
                               [] { return remote.data(); }}), RowName());

TEST_F(Blocks, ComputedDoublesAreExactToDoubleArithmetic) {
  Connect();
  PutU32At(0x0B7C, 8388608);
  PutU32At(0x0B80, 100);
  PutU32At(0x0B94, 4194304);
  PutU32At(0x0B98, static_cast<uint32_t>(-300));
  PutU32At(0x0B74, 3);
  PutU32At(0x0B78, 7);
  ASSERT_EQ(FSUIPCReadBlock10(), 0u);
  EXPECT_EQ(GetF64(Block1.data() + 200), 100.0);
  EXPECT_EQ(GetF64(Block1.data() + 208), -150.0);
  EXPECT_EQ(GetF64(Block1.data() + 216), 7.0 * (3.0 / 8388608.0));
}

TEST_F(Blocks, ModelNameTakesTheFirstNineCharactersOfEachRead) {
  Connect();
  for (const std::string& model : {std::string("ABCDEFGHIJKLMNOPQRSTUVWX"), std::string("C172")}) {
    std::vector<uint8_t> text(24, 0);
    std::memcpy(text.data(), model.data(), model.size());
    PutBytes(0x3500, text);
    ASSERT_EQ(FSUIPCReadBlock20(), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Block2.data() + Block2Field::ModelName)), model.substr(0, 9));
  }
}

TEST_F(Blocks, ChangeCountCountsEachChangedWordPerRead) {
  Connect();
  ASSERT_EQ(FSUIPCReadBlock20(), 0u);
  const uint32_t settled = GetU32(Block3.data() + Block3Field::FsChangeCount);
  for (const auto& [words, counted] : {std::pair<std::vector<uint16_t>, uint32_t>{{11, 12}, 2}, {{11, 12}, 2}, {{11, 13}, 3}}) {
    PutU16At(0x32FC, words[0]);
    PutU16At(0x3F02, words[1]);
    ASSERT_EQ(FSUIPCReadBlock20(), 0u);
    EXPECT_EQ(GetU32(Block3.data() + Block3Field::FsChangeCount), settled + counted) << "unchanged words count nothing";
  }
}

TEST_F(Blocks, FlightPlanPathIsAlwaysTerminated) {
  Connect();
  PutBytes(0x0130, std::vector<uint8_t>(256, 'p'));
  ASSERT_EQ(FSUIPCReadBlock20(), 0u);
  EXPECT_EQ(std::strlen(FlightPlanPath.data()), 255u);
}

}  // namespace
