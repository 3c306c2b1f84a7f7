#pragma once
// The bytes of messages and request lists as a test builds them.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "wire/bytes.h"
#include "wire/msg_header.h"

// A message's bytes: its header (ComMgr to the node, or the node to ComMgr
// when the source is the node) and the payload after it.
std::vector<uint8_t> TestMessage(uint32_t msgClass, uint32_t type, int32_t count = 0, uint32_t version = 30116,
                                 const std::vector<uint8_t>& payload = {}, int16_t source = 2);

// The items of a data message, and messages put together from parts.
std::vector<uint8_t> IntItem(uint32_t fsxIndex, int32_t value);
std::vector<uint8_t> DoubleItem(uint32_t fsxIndex, double value);
// The bytes as hex digits, "0A1B...".
std::string HexDigits(const uint8_t* bytes, size_t size);
// Little-endian 32-bit words, one after the other (request lists).
std::vector<uint8_t> Words(std::initializer_list<uint32_t> words);
std::vector<uint8_t> operator+(std::vector<uint8_t> bytes, const std::vector<uint8_t>& more);
std::vector<uint8_t> operator+(std::vector<uint8_t> bytes, const std::string& text);
