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

TEST_F(VariableTable, TheLaterDeclarationOwnsASharedFsxIndex) {
  EXPECT_EQ(FsxMap[56].Index, 188);
  EXPECT_EQ(FsxMap[56].VarType, VAR_TYPE_DOUBLE);
  EXPECT_EQ(VarTable[61].FsxIndex, 56);
}

}  // namespace
