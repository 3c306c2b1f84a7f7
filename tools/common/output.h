#pragma once
// What every tool writes: whole lines to standard output, one writer at a
// time, each stamped with the wall-clock time when asked (--stamps); texts
// formatted as printf does; bytes in hex.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// From now on every line Say writes begins with the wall-clock time in
// milliseconds and a space.
void SetStamps(bool on);
// Writes the text (one or more whole lines) and flushes it.
void Say(const std::string& text);

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "0A 1B 2C": the bytes as hex digits, one space between them.
std::string Hex(const uint8_t* bytes, size_t size);
// The words as hex bytes ("FF 3F 0 00"), as the commands give them.
std::vector<uint8_t> ParseHexBytes(const std::vector<std::string>& words);
