#pragma once
// The catalogue of the cockpit network's standard variables: each has a
// standard index, a data type and, where the simulator deals in it, a
// simulator index (FsxIndex) with the width its value has on the wire.

#include <cstdint>

inline constexpr int32_t STD_VAR_COUNT = 297;
inline constexpr int32_t MAX_FSXS = 300;

// Data types of the table.
inline constexpr int32_t DATA_TYPE_FREE = -1;
inline constexpr int32_t DATA_TYPE_INT = 2;
inline constexpr int32_t DATA_TYPE_DOUBLE = 3;
inline constexpr int32_t DATA_TYPE_PAIR = 4;
inline constexpr int32_t DATA_TYPE_TEXT = 5;

// Value types on the wire.
inline constexpr int32_t VAR_TYPE_NONE = 0;      // a map slot no declaration filled
inline constexpr int32_t VAR_TYPE_DOUBLE_1 = 1;  // 8-byte double (no declaration uses it)
inline constexpr int32_t VAR_TYPE_DOUBLE = 2;    // 8-byte double
inline constexpr int32_t VAR_TYPE_INT = 5;       // 4-byte signed integer
inline constexpr int32_t VAR_TYPE_NOT_CARRIED = -1;

struct VarEntry {
  uint32_t reserved0;
  double DoubleValue;
  int32_t Index;
  int32_t DataType;
  int32_t IntValue;
  uint32_t reserved1;
  uint32_t reserved2;
  int32_t FsxIndex;
  int32_t VarType;
  char TextValue[10];
};

struct FsxMapEntry {
  int32_t VarType;
  int32_t Index;
  uint8_t used;
};

extern VarEntry VarTable[STD_VAR_COUNT];
extern FsxMapEntry FsxMap[MAX_FSXS];

// Builds both tables; returns the number of declarations.
int32_t InitDB();
void InitEntry(int32_t index, int32_t dataType, int32_t fsxIndex, int32_t varType);

// The wire type of an FsxIndex; VAR_TYPE_NONE outside the map.
int32_t FsxVarType(int64_t fsxIndex);
