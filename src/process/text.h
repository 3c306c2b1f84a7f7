#pragma once
// Fixed-capacity texts, as the node's records hold them: a field of capacity
// N holds at most N - 1 characters and its terminator, and nothing is ever
// written past it.

#include <cstddef>
#include <cstdint>
#include <string_view>

// Copies at most capacity - 1 characters of the source and terminates.
void CopyText(char* destination, size_t capacity, std::string_view source);

template <size_t N>
void CopyText(char (&destination)[N], std::string_view source) {
  CopyText(destination, N, source);
}

// Formats into a fixed buffer, cutting what does not fit.
void FormatText(char* destination, size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The decimal value of a text's leading digits, as a C runtime would read
// it: leading white space, an optional sign, then digits; 0 without digits.
// Values beyond 32 bits are held at the nearest limit instead of overflowing.
int32_t LeadingDecimal(const char* text);

// Lower-cases A to Z in place; every other byte is left as it is.
void LowerCase(char* text);
