#include "commgr/items_message.h"

#include <cstdlib>

#include "wire/data_items.h"

bool ParseItemWord(const std::string& word, Item& item) {
  size_t equals = word.find('=');
  if (word.size() < 4 || word[1] != ':' || equals == std::string::npos) return false;
  item = Item{word[0] == 'd', static_cast<uint32_t>(std::strtoul(word.substr(2, equals - 2).c_str(), nullptr, 0)), 0, 0};
  std::string value = word.substr(equals + 1);
  if (item.isDouble) {
    item.doubleValue = std::strtod(value.c_str(), nullptr);
  } else {
    item.intValue = static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 0));
  }
  return true;
}

size_t ItemsSize(const std::vector<Item>& items) {
  size_t size = 0;
  for (const Item& item : items) size += item.isDouble ? DOUBLE_ITEM_SIZE : INT_ITEM_SIZE;
  return size;
}

void PutItems(uint8_t* at, const std::vector<Item>& items) {
  for (const Item& item : items) {
    at += item.isDouble ? PutDoubleItem(at, item.fsxIndex, item.doubleValue)
                        : PutIntItem(at, item.fsxIndex, item.intValue);
  }
}
