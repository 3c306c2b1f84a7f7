#pragma once
// Radio frequencies as the simulator keeps them: packed decimal (BCD), one
// digit per nibble, lowest digit in the lowest nibble. The band operations
// step a 4-digit word within its band; the split ADF frequency is a main
// word (hundreds, tens, units of kHz) and an extension word (thousands digit
// in the high byte, tenths in the low nibble).

#include <cstdint>

uint16_t IntToBcd4(int32_t value);
uint32_t IntToBcd5(int32_t value);
uint32_t IntToBcd5Shifted(int32_t value);
int32_t BcdToInt(uint32_t word);
int32_t AdfToTenths(int16_t mainWord, int16_t extensionWord);

// The band value after a step, folded back into the band; false when the
// current word holds no frequency of any band (it decodes below 100, as
// before the first block read), and then nothing is written.
bool ComBandStep(uint16_t currentWord, int32_t step, uint16_t& result);
bool NavBandStep(uint16_t currentWord, int32_t step, uint16_t& result);

// Each writes its result to the simulator; the result is that of the
// (last) write, 0 when nothing was written.
uint32_t StepComFrequency(uint16_t currentWord, int32_t step, uint32_t offset);
uint32_t StepNavFrequency(uint16_t currentWord, int32_t step, uint32_t offset);
uint32_t SetAdfFrequency(int32_t receiver, int32_t tenthsOfKhz);
void StepAdfFrequency(int32_t receiver, int32_t deltaTenths);

// Converts toward zero and keeps the low 32 bits, as the simulator's fields
// take it; values that have no integer (NaN, infinities) give 0.
uint32_t TruncateToBits(double value);
