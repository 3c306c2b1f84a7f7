#include "support/test_support.h"
#include "vardb/var_table.h"

namespace {

// How wide the value of each FsxIndex 0 to 299 is on the wire: 'i' a 4-byte
// integer, 'd' an 8-byte double, '.' not carried. A wrong type here garbles
// every item after it in the message.
constexpr const char WIRE_TYPES[] =
    "dddddddddddddiddid.diiddiddidd.ddddii..ii.iddddddd"    // 0
    "ddiiiiddddddddiiiidiiiiiiiiiiiiiiiiiiiiiddddiiiiii"    // 50
    "iiiiiiiiiiiiiidiiiiddddddddddddddddddddddddddddddd"    // 100
    "ddddddddidididiiiiddii...iiiiiiiiii.iiii.........."    // 150
    "............iiiii................................."    // 200
    "..................................................";  // 250
static_assert(sizeof WIRE_TYPES == MAX_FSXS + 1);

TEST(VariableTable, GivesEveryFsxIndexItsWireType) {
  InitDB();
  std::string types;
  for (int64_t fsx = 0; fsx < MAX_FSXS; ++fsx) {
    const int32_t type = FsxVarType(fsx);
    types += type == VAR_TYPE_INT ? 'i' : type == VAR_TYPE_DOUBLE || type == VAR_TYPE_DOUBLE_1 ? 'd' : type == VAR_TYPE_NONE ? '.' : '?';
  }
  for (size_t row = 0; row < types.size(); row += 50) {
    EXPECT_EQ(types.substr(row, 50), std::string(WIRE_TYPES + row, 50)) << "FsxIndex " << row << " onwards";
  }
  for (int64_t outside : {-1LL, 300LL, 5000000LL, 0x100000000LL}) EXPECT_EQ(FsxVarType(outside), VAR_TYPE_NONE) << outside;
  EXPECT_EQ(FsxMap[56].Index, 188) << "the later of its two declarations";
}

}  // namespace
