#include <cstring>

#include "simlink/blocks.h"
#include "support/message_bytes.h"
#include "support/sim_fixture.h"
#include "wire/bytes.h"

namespace {

class Blocks : public SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    ResetBlocks();
  }
};

// Each block as ComMgr must receive it from a simulator that holds at
// offset o the byte (7o + 13(o >> 8)) mod 255 + 1: no two neighbours alike
// and none 0, so that a field read from the wrong offset, or one byte too
// wide or too narrow, shows at once. In hex from byte 36 (the remote record
// from its start); activateoffset on, no hot key, one Block 2 read before
// Block 3 (both change words counted).
constexpr const char BLOCK_1_IMAGE[] =
    "00000000B4BBC2C9D0D7DEE5626970777E858C9310171E252C333A41CAD1D8DF"
    "E6EDF4FBF3FA020910171E25080F161D242B32391C232A31383F464D30373E45"
    "4C535A61444B525960676E75F1F8FF070E151C239FA6ADB4BBC2C9D05A61686F"
    "767D848B0C131A21282F363DB9C0C7CED5DCE3EA676E757C838A919822293037"
    "3E454C535E656C737A81888F8A91989FA6ADB4BBC3CAD1D8DFE6EDF4EFF6FD05"
    "0C131A21773BF80CDAE4544290D314E3A2F8EE414CC7FD2DD2933042FF070E15"
    "1C232A313940474E555C636A727980878E959CA39EA5ACB3BAC1C8CFD3DAE1E8"
    "EFF6FD05E7EEF5FC040B1219FB030A11181F262D10171E252C333A411E252C33"
    "575E656C90979EA5C9D0D7DEF5FC040B737A8188ACB3BAC1E5ECF3FA12192027"
    "E5ECF3FAE8EFF6FD737A8188A1A8AFB64F565D64444B0C13BFC6F8FF252C5E65"
    "B8000000";
constexpr const char BLOCK_2_IMAGE[] =
    "00000000EBF2F901080F161DD0D7DEE5ECF3FA020910171E252C333A52596067"
    "6E757C83A1A8AFB6BDC4CBD2282F363D60676E750C131A21444B5259040B1219"
    "C8CFD6DD3C434A51A1A8AFB67077000020272E356F767D84ABB2B9C0161D868D"
    "616881888F969DA4242B949BC7CE01006A71787F868D949BA2A9C4CBD2D9E0E7"
    "9EA5ACB3BAC101712930373E454C535A610000000000000000000000";
constexpr const char BLOCK_3_IMAGE[] =
    "00000000F8FF070E151C232A31383F464D545B62FA020910171E252C333A4148"
    "4F565D642E353C434A51585F8A91989FA6ADB4BBB4BB7F860000000000000000"
    "0000000060676E757C838A91050C131A3D444B5221282F365960676E52596067"
    "E1E8EFF632394047A2A9B0B7FD050C13CCD3DAE1A6ADB4BB5F666D741B222930"
    "B0B7BEC5C2C9D0D7B6BDC4CB363D444B1A21282F0000000000000000E7EEF5FC"
    "0B12192012192027979EA5AC00000000747B8289434A5158EEF5FC0400000000"
    "000000000F0000000500000002000000000000000000F1F8C1C83239272E3D44"
    "676E3F468E95535A99A0FA02091001080008FD00";
constexpr const char REMOTE_IMAGE[] =
    "E8EFF6FDB0B7BEC5CCD3DAE1787F868D949BA2A9080F161D242B323940474E55"
    "5C636A71";

TEST_F(Blocks, CarryEveryFieldFromItsOffsetAtItsPlaceAndWidth) {
  std::vector<uint8_t> space(OffsetSpace::SIZE);
  for (uint32_t o = 0; o < space.size(); ++o) space[o] = static_cast<uint8_t>((7 * o + 13 * (o >> 8)) % 255 + 1);
  server.space.Write(0, space.data(), OffsetSpace::SIZE);
  Connect();
  Settings.activateoffset = true;
  ASSERT_EQ(FSUIPCReadBlock10(), 0u);
  ASSERT_EQ(FSUIPCReadBlock20(), 0u);
  ASSERT_EQ(FSUIPCReadBlock30(), 0u);
  RemoteDataRecord remote{};
  ASSERT_EQ(ReadRemoteData(&remote), 0u);
  EXPECT_EQ(HexDigits(Block1.data() + 36, BLOCK_1_SIZE - 36), BLOCK_1_IMAGE);
  EXPECT_EQ(HexDigits(Block2.data() + 36, BLOCK_2_SIZE - 36), BLOCK_2_IMAGE);
  EXPECT_EQ(HexDigits(Block3.data() + 36, BLOCK_3_SIZE - 36), BLOCK_3_IMAGE);
  EXPECT_EQ(HexDigits(remote.data(), remote.size()), REMOTE_IMAGE);
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
