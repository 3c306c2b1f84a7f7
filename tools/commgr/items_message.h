#pragma once
// The variable items of the data messages that commgr sends the node: its
// items command and its web page both build them here, so that a control on
// the page sends exactly what the command would.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Item {
  bool isDouble;
  uint32_t fsxIndex;
  int32_t intValue;
  double doubleValue;
};

// "i:FSX=VALUE" or "d:FSX=VALUE" (FSX and an integer VALUE also in hex or
// octal, as strtol reads them); false for anything else.
bool ParseItemWord(const std::string& word, Item& item);

// The payload's size, and the items written one after another at `at`.
size_t ItemsSize(const std::vector<Item>& items);
void PutItems(uint8_t* at, const std::vector<Item>& items);
