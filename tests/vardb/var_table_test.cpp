#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"
#include "vardb/var_table.h"

namespace {

class VariableTable : public testing::Test {
 protected:
  static void SetUpTestSuite() { count_ = InitDB(); }
  static int32_t count_;
};
int32_t VariableTable::count_ = 0;

TEST_F(VariableTable, DeclarationCounts) {
  EXPECT_EQ(count_, 292);
  int declared = 0, withFsx = 0, doubles = 0, integers = 0;
  for (const VarEntry& entry : VarTable) {
    if (entry.DataType == DATA_TYPE_FREE) continue;
    ++declared;
    if (entry.FsxIndex < 0) continue;
    ++withFsx;
    if (entry.VarType == VAR_TYPE_DOUBLE && entry.DataType == DATA_TYPE_DOUBLE) ++doubles;
    if (entry.VarType == VAR_TYPE_INT) ++integers;
  }
  EXPECT_EQ(declared, 292);
  EXPECT_EQ(withFsx, 187);
  EXPECT_EQ(doubles, 94);
  EXPECT_EQ(integers, 92);
  EXPECT_EQ(VarTable[58].DataType, DATA_TYPE_INT);
  EXPECT_EQ(FsxVarType(49), VAR_TYPE_DOUBLE) << "Index 58 is an integer carried as a double";
}

TEST_F(VariableTable, FreeSlotsAndEmptyMapSlots) {
  for (int32_t index : {221, 269, 277, 278, 294}) EXPECT_EQ(VarTable[index].DataType, DATA_TYPE_FREE) << index;
  for (int32_t fsx : {18, 30, 37, 38, 41, 172, 173, 174, 185, 190, 200, 211, 217, 250, 299}) {
    EXPECT_EQ(FsxVarType(fsx), VAR_TYPE_NONE) << fsx;
    EXPECT_EQ(FsxMap[fsx].used, 0) << fsx;
  }
  for (int64_t outside : {-1LL, 300LL, 1LL << 40}) EXPECT_EQ(FsxVarType(outside), VAR_TYPE_NONE);
}

TEST_F(VariableTable, TheLaterDeclarationOwnsASharedFsxIndex) {
  EXPECT_EQ(FsxMap[56].Index, 188);
  EXPECT_EQ(FsxMap[56].VarType, VAR_TYPE_DOUBLE);
  EXPECT_EQ(VarTable[61].FsxIndex, 56);
}

TEST_F(VariableTable, RunsRiseTogether) {
  EXPECT_EQ(VarTable[74].FsxIndex, 69);
  EXPECT_EQ(VarTable[83].FsxIndex, 78);
  EXPECT_EQ(FsxMap[216].Index, 242);
  EXPECT_EQ(VarTable[205].FsxIndex, -1);
  EXPECT_EQ(VarTable[205].VarType, VAR_TYPE_INT);
}

TEST_F(VariableTable, StartingValues) {
  EXPECT_DOUBLE_EQ(VarTable[7].DoubleValue, 29.92);
  EXPECT_DOUBLE_EQ(VarTable[12].DoubleValue, -104.8214);
  EXPECT_EQ(VarTable[169].IntValue, -1);
  EXPECT_EQ(VarTable[201].IntValue, 2);
  EXPECT_EQ(VarTable[242].IntValue, 3);
  EXPECT_STREQ(VarTable[292].TextValue, "EMPTY");
  EXPECT_STREQ(VarTable[295].TextValue, "");
  EXPECT_STREQ(VarTable[0].TextValue, "nill");
}

TEST(VariableTableLimits, DeclarationsOutsideTheTablesEndTheProcessWith100) {
  std::string directory = MakeFreshDirectory("vartable");
  EXPECT_EXIT(
      {
        EnterDirectory(directory);
        InitEntry(1, 2, 300, 5);
      },
      testing::ExitedWithCode(100), "");
  EXPECT_NE(ReadWholeFile((std::filesystem::path(directory) / "ZEMDefault.log").string())
                .find("InitEntry() - FsxIndex >= MAX_FSXS. Exiting\n"),
            std::string::npos);
  EXPECT_EXIT(InitEntry(297, 2, -1, -1), testing::ExitedWithCode(100), "");
}

TEST(VariableTableLimits, DuplicateIndexIsLoggedAndReplaced) {
  InitDB();
  LogTail log;
  InitEntry(5, DATA_TYPE_INT, 250, VAR_TYPE_INT);
  EXPECT_EQ(log.Count("InitEntry() - Duplicate Index: 5"), 1);
  EXPECT_EQ(VarTable[5].DataType, DATA_TYPE_INT);
  EXPECT_EQ(FsxVarType(250), VAR_TYPE_INT);
  InitDB();
}

}  // namespace
