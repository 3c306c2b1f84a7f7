#pragma once
// CRC-32 (the polynomial of zip and Ethernet, reflected, 0xEDB88320), so
// that any damage to a chunk of a recording is found when it is read.

#include <cstddef>
#include <cstdint>

// Continues a checksum over more bytes; start with 0.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);
