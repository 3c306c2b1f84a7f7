#include "net/ipv4_text.h"

#include <cstdio>

uint32_t ParseDottedDecimal(const char* text) {
  uint32_t address = 0;
  const char* p = text;
  for (int part = 0; part < 4; ++part) {
    if (*p < '0' || *p > '9') return INVALID_IPV4;
    uint32_t value = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
      value = value * 10 + static_cast<uint32_t>(*p - '0');
      if (++digits > 3 || value > 255) return INVALID_IPV4;
    }
    address = (address << 8) | value;
    if (part < 3 && *p++ != '.') return INVALID_IPV4;
  }
  return *p == '\0' ? address : INVALID_IPV4;
}

std::string DottedDecimal(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF,
                address & 0xFF);
  return text;
}
