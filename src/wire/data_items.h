#pragma once
// The items of a data message (class 1, type 2) after its header, packed
// without alignment: a 4-byte FsxIndex, then its value, a 4-byte signed
// integer or an 8-byte double, as the FsxIndex's type says.

#include <cstddef>
#include <cstdint>

#include "wire/bytes.h"

inline constexpr size_t ITEM_INDEX_SIZE = 4;
inline constexpr size_t INT_ITEM_SIZE = ITEM_INDEX_SIZE + 4;
inline constexpr size_t DOUBLE_ITEM_SIZE = ITEM_INDEX_SIZE + 8;

// Each writes one item at `at` and returns its size.
inline size_t PutIntItem(uint8_t* at, uint32_t fsxIndex, int32_t value) {
  PutU32(at, fsxIndex);
  PutI32(at + ITEM_INDEX_SIZE, value);
  return INT_ITEM_SIZE;
}

inline size_t PutDoubleItem(uint8_t* at, uint32_t fsxIndex, double value) {
  PutU32(at, fsxIndex);
  PutF64(at + ITEM_INDEX_SIZE, value);
  return DOUBLE_ITEM_SIZE;
}
