#include "support/test_support.h"
#include "vardb/var_table.h"

namespace {

TEST(VariableTable, TheLaterDeclarationOwnsASharedFsxIndex) {
  InitDB();
  EXPECT_EQ(FsxMap[56].Index, 188);
  EXPECT_EQ(FsxMap[56].VarType, VAR_TYPE_DOUBLE);
  EXPECT_EQ(VarTable[61].FsxIndex, 56);
}

}  // namespace
