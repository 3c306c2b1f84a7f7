#include "vardb/var_table.h"

#include "process/fatal.h"
#include "process/log.h"
#include "process/text.h"

VarEntry VarTable[STD_VAR_COUNT];
FsxMapEntry FsxMap[MAX_FSXS];

namespace {

constexpr int32_t NONE = -1;

// A run of declarations: Index and FsxIndex rise together from the first
// of each (an FsxIndex of NONE stays NONE). In declaration order, which
// matters for FsxIndex 56: Index 61 first, then Index 188.
struct DeclarationRun {
  int32_t firstIndex;
  int32_t lastIndex;
  int32_t dataType;
  int32_t firstFsxIndex;
  int32_t varType;
};

constexpr DeclarationRun DECLARATIONS[] = {
    {0, 12, 3, 0, 2},       {13, 13, 2, 13, 5},     {14, 15, 3, 14, 2},     {16, 16, 3, NONE, -1},
    {17, 17, 3, 17, 2},     {18, 18, 2, NONE, -1},  {19, 19, 3, 19, 2},     {20, 20, 2, 20, 5},
    {21, 21, 2, NONE, -1},  {22, 22, 2, 52, 5},     {23, 23, 2, NONE, -1},  {24, 25, 2, 53, 5},
    {26, 26, 2, NONE, -1},  {27, 28, 3, 22, 2},     {29, 29, 2, 24, 5},     {30, 31, 3, 25, 2},
    {32, 32, 2, 27, 5},     {33, 34, 3, 28, 2},     {35, 35, 3, 163, 2},    {36, 39, 3, 31, 2},
    {40, 41, 2, 35, 5},     {42, 43, 2, NONE, -1},  {44, 45, 2, 39, 5},     {46, 46, 2, NONE, -1},
    {47, 47, 2, 42, 5},     {48, 49, 3, 43, 2},     {50, 50, 2, 21, 5},     {51, 51, 3, 45, 2},
    {52, 52, 2, NONE, -1},  {53, 55, 3, 46, 2},     {56, 56, 2, NONE, -1},  {57, 57, 2, 55, 5},
    {58, 58, 2, 49, 2},     {59, 60, 3, 50, 2},     {61, 62, 3, 56, 2},     {63, 63, 3, 59, 2},
    {64, 64, 3, 58, 2},     {65, 68, 3, 60, 2},     {69, 72, 2, 64, 5},     {73, 73, 3, 68, 2},
    {74, 83, 2, 69, 5},     {84, 84, 2, NONE, -1},  {85, 85, 2, 89, 5},     {86, 86, 3, 90, 2},
    {87, 87, 3, 92, 2},     {88, 88, 3, 91, 2},     {89, 89, 3, 93, 2},     {90, 99, 2, 79, 5},
    {100, 119, 2, 94, 5},   {120, 120, 3, 114, 2},  {121, 124, 2, 115, 5},  {125, 125, 3, 119, 2},
    {126, 127, 2, 166, 5},  {128, 143, 3, 120, 2},  {144, 147, 3, 140, 2},  {148, 151, 3, 136, 2},
    {152, 165, 3, 144, 2},  {166, 166, 2, 158, 5},  {167, 167, 3, 159, 2},  {168, 168, 2, 162, 5},
    {169, 171, 2, NONE, -1}, {172, 172, 2, 165, 5}, {173, 173, 2, 164, 5},  {174, 175, 3, 168, 2},
    {176, 177, 2, 170, 5},  {178, 178, 2, 16, 5},   {179, 179, 2, 175, 5},  {180, 184, 2, 180, 5},
    {185, 185, 2, NONE, -1}, {186, 187, 2, 186, 5}, {188, 188, 3, 56, 2},   {189, 190, 2, 188, 5},
    {191, 191, 2, NONE, -1}, {192, 195, 3, NONE, -1}, {196, 204, 2, NONE, -1}, {205, 214, 2, NONE, 5},
    {215, 218, 2, 212, 5},  {219, 220, 2, NONE, -1}, {222, 222, 3, NONE, -1}, {223, 236, 2, NONE, -1},
    {237, 237, 2, NONE, 5}, {238, 241, 2, NONE, -1}, {242, 242, 2, 216, 5}, {243, 243, 2, 160, 5},
    {244, 244, 3, 161, 2},  {245, 245, 2, NONE, -1}, {246, 249, 3, NONE, -1}, {250, 250, 2, NONE, -1},
    {251, 251, 2, NONE, 5}, {252, 252, 2, NONE, -1}, {253, 253, 2, NONE, 5}, {254, 254, 2, NONE, -1},
    {255, 255, 3, NONE, -1}, {256, 257, 2, NONE, -1}, {258, 261, 2, 176, 5}, {262, 263, 4, NONE, -1},
    {264, 268, 2, NONE, -1}, {270, 273, 2, NONE, -1}, {274, 275, 3, NONE, -1}, {276, 276, 2, NONE, -1},
    {279, 291, 2, NONE, -1}, {292, 293, 5, NONE, -1}, {295, 296, 5, NONE, -1},
};

struct StartingValue {
  int32_t index;
  double doubleValue;
  int32_t intValue;
  const char* text;  // nullptr: not a text
  enum Slot { Double, Int, Text } slot;
};

constexpr StartingValue STARTING_VALUES[] = {
    {7, 29.92, 0, nullptr, StartingValue::Double},      {11, 38.8339, 0, nullptr, StartingValue::Double},
    {12, -104.8214, 0, nullptr, StartingValue::Double}, {167, 100.0, 0, nullptr, StartingValue::Double},
    {169, 0, -1, nullptr, StartingValue::Int},          {241, 0, -1, nullptr, StartingValue::Int},
    {256, 0, -1, nullptr, StartingValue::Int},          {185, 0, 1, nullptr, StartingValue::Int},
    {191, 0, 1, nullptr, StartingValue::Int},           {207, 0, 1, nullptr, StartingValue::Int},
    {209, 0, 1, nullptr, StartingValue::Int},           {211, 0, 1, nullptr, StartingValue::Int},
    {213, 0, 1, nullptr, StartingValue::Int},           {230, 0, 1, nullptr, StartingValue::Int},
    {231, 0, 1, nullptr, StartingValue::Int},           {233, 0, 1, nullptr, StartingValue::Int},
    {234, 0, 1, nullptr, StartingValue::Int},           {201, 0, 2, nullptr, StartingValue::Int},
    {242, 0, 3, nullptr, StartingValue::Int},           {292, 0, 0, "EMPTY", StartingValue::Text},
    {293, 0, 0, "VOID", StartingValue::Text},           {295, 0, 0, "", StartingValue::Text},
    {296, 0, 0, "", StartingValue::Text},
};

}  // namespace

int32_t FsxVarType(int64_t fsxIndex) {
  if (fsxIndex < 0 || fsxIndex >= MAX_FSXS) return VAR_TYPE_NONE;
  return FsxMap[fsxIndex].VarType;
}

void InitEntry(int32_t index, int32_t dataType, int32_t fsxIndex, int32_t varType) {
  if (fsxIndex >= MAX_FSXS) {
    Log("InitEntry() - FsxIndex >= MAX_FSXS. Exiting\n");
    FatalExit(ExitCode::VariableTableLimit);
  }
  if (index >= STD_VAR_COUNT || index < 0) {
    Log("InitEntry() - Index >= STD_VAR_COUNT\n");
    FatalExit(ExitCode::VariableTableLimit);
  }
  VarEntry& entry = VarTable[index];
  if (entry.DataType >= 0) LogFormat("InitEntry() - Duplicate Index: %d\n", index);
  entry = VarEntry{};
  entry.Index = index;
  entry.DataType = dataType;
  entry.FsxIndex = fsxIndex;
  entry.VarType = varType;
  CopyText(entry.TextValue, "nill");
  if (fsxIndex >= 0) FsxMap[fsxIndex] = {varType, index, 1};
}

int32_t InitDB() {
  for (FsxMapEntry& slot : FsxMap) slot = FsxMapEntry{};
  for (VarEntry& entry : VarTable) entry.DataType = DATA_TYPE_FREE;

  int32_t count = 0;
  for (const DeclarationRun& run : DECLARATIONS) {
    for (int32_t index = run.firstIndex; index <= run.lastIndex; ++index) {
      int32_t fsxIndex = run.firstFsxIndex == NONE ? NONE : run.firstFsxIndex + (index - run.firstIndex);
      InitEntry(index, run.dataType, fsxIndex, run.varType);
      ++count;
    }
  }
  for (const StartingValue& start : STARTING_VALUES) {
    VarEntry& entry = VarTable[start.index];
    if (start.slot == StartingValue::Double) entry.DoubleValue = start.doubleValue;
    if (start.slot == StartingValue::Int) entry.IntValue = start.intValue;
    if (start.slot == StartingValue::Text) CopyText(entry.TextValue, start.text);
  }
  if (count >= MAX_FSXS) {
    Log("InitDB() - Count exceeds MAX FSXS\n");
    FatalExit(ExitCode::VariableTableLimit);
  }
  return count;
}
