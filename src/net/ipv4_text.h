#pragma once
// IPv4 addresses as dotted-decimal text (host byte order in the node).

#include <cstdint>
#include <string>

inline constexpr uint32_t INVALID_IPV4 = 0xFFFFFFFF;

// "a.b.c.d" with each part 0 to 255; INVALID_IPV4 for anything else (so the
// text 255.255.255.255 reads as invalid too, as the classic conversion does).
uint32_t ParseDottedDecimal(const char* text);
std::string DottedDecimal(uint32_t address);
