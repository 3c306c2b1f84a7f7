#include "process/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

void CopyText(char* destination, size_t capacity, std::string_view source) {
  if (capacity == 0) return;
  size_t length = source.size() < capacity - 1 ? source.size() : capacity - 1;
  std::memcpy(destination, source.data(), length);
  destination[length] = '\0';
}

void FormatText(char* destination, size_t capacity, const char* format, ...) {
  if (capacity == 0) return;
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(destination, capacity, format, arguments);
  va_end(arguments);
}

int32_t LeadingDecimal(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int64_t value = 0;
  constexpr int64_t limit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) value = limit;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

void LowerCase(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
  }
}
