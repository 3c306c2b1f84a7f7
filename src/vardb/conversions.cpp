#include "vardb/conversions.h"

#include <cmath>

#include "simlink/blocks.h"
#include "simlink/sim_connection.h"
#include "wire/bytes.h"

namespace {

uint32_t WriteWord(uint32_t offset, uint16_t word) {
  uint8_t bytes[2];
  PutU16(bytes, word);
  return FSUIPCWrite(offset, 2, bytes);
}

// A band of frequency values (MHz x 100 without the leading 1) with its wrap.
bool BandStep(uint16_t currentWord, int32_t step, uint32_t above, uint32_t below, uint32_t wrap, uint16_t& result) {
  int32_t current = BcdToInt(currentWord);
  if (current < 100) return false;
  uint32_t value = static_cast<uint32_t>(current) + static_cast<uint32_t>(step);
  if (value > above) {
    value -= wrap;
  } else if (value < below) {
    value += wrap;
  }
  result = IntToBcd4(static_cast<int32_t>(value));
  return true;
}

}  // namespace

uint16_t IntToBcd4(int32_t value) { return static_cast<uint16_t>(IntToBcd5(value) & 0xFFFF); }

uint32_t IntToBcd5(int32_t value) {
  uint32_t result = 0;
  for (int digit = 0; digit < 5; ++digit) {
    int32_t d = value % 10;
    value = (value - d) / 10;
    result |= static_cast<uint32_t>(d & 0xF) << (4 * digit);
  }
  return result;
}

uint32_t IntToBcd5Shifted(int32_t value) { return IntToBcd5(value) << 12; }

int32_t BcdToInt(uint32_t word) {
  int32_t value = 0;
  int32_t weight = 1;
  for (int nibble = 0; nibble < 5; ++nibble) {
    value += static_cast<int32_t>((word >> (4 * nibble)) & 0xF) * weight;
    weight *= 10;
  }
  return value;
}

int32_t AdfToTenths(int16_t mainWord, int16_t extensionWord) {
  return 10 * BcdToInt(static_cast<uint16_t>(mainWord)) + 10000 * (extensionWord >> 8) + (extensionWord & 0xF);
}

bool ComBandStep(uint16_t currentWord, int32_t step, uint16_t& result) {
  return BandStep(currentWord, step, 3695, 1800, 1900, result);
}

bool NavBandStep(uint16_t currentWord, int32_t step, uint16_t& result) {
  return BandStep(currentWord, step, 1795, 800, 995, result);
}

uint32_t StepComFrequency(uint16_t currentWord, int32_t step, uint32_t offset) {
  uint16_t word = 0;
  return ComBandStep(currentWord, step, word) ? WriteWord(offset, word) : 0;
}

uint32_t StepNavFrequency(uint16_t currentWord, int32_t step, uint32_t offset) {
  uint16_t word = 0;
  return NavBandStep(currentWord, step, word) ? WriteWord(offset, word) : 0;
}

uint32_t SetAdfFrequency(int32_t receiver, int32_t tenthsOfKhz) {
  uint32_t b = IntToBcd5Shifted(tenthsOfKhz);
  uint16_t mainWord = static_cast<uint16_t>((b >> 16) & 0xFFF);
  uint16_t extensionWord = static_cast<uint16_t>(((b >> 12) & 0xF) | ((b >> 20) & 0x100));
  bool first = receiver == 1;
  WriteWord(first ? 0x034C : 0x02D4, mainWord);
  return WriteWord(first ? 0x0356 : 0x02D6, extensionWord);
}

void StepAdfFrequency(int32_t receiver, int32_t deltaTenths) {
  if (receiver != 1 && receiver != 2) return;
  bool first = receiver == 1;
  int16_t mainWord = static_cast<int16_t>(StartingValue(first ? StartField::Adf1Main : StartField::Adf2Main));
  int16_t extensionWord =
      static_cast<int16_t>(StartingValue(first ? StartField::Adf1Extension : StartField::Adf2Extension));
  int64_t value = static_cast<int64_t>(AdfToTenths(mainWord, extensionWord)) + deltaTenths;
  if (value > 17500) {
    value = 17500;
  } else if (value < 1900) {
    value = 1900;
  }
  uint32_t b = IntToBcd5(static_cast<int32_t>(value));
  uint16_t main = static_cast<uint16_t>(((b & 0xFFFF) >> 4) & 0xFFF);
  uint16_t extension = static_cast<uint16_t>((b & 0xF) | ((b & 0xF0000) >> 8));
  WriteWord(first ? 0x034C : 0x02D4, main);
  WriteWord(first ? 0x0356 : 0x02D6, extension);
}

uint32_t TruncateToBits(double value) {
  if (!std::isfinite(value)) return 0;
  double whole = std::trunc(value);
  double wrapped = std::fmod(whole, 4294967296.0);  // exact for every double
  if (wrapped < 0) wrapped += 4294967296.0;
  return static_cast<uint32_t>(wrapped);
}
