#include "record/checksum.h"

#include <array>

namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> TABLE = MakeTable();
// The check value of the algorithm: "123456789" gives 0xCBF43926.
static_assert(TABLE[1] == 0x77073096u && TABLE[255] == 0x2D02EF8Du);

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = TABLE[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}
