#include "support/message_bytes.h"

#include <cstdio>

#include "wire/data_items.h"

std::vector<uint8_t> TestMessage(uint32_t msgClass, uint32_t type, int32_t count, uint32_t version,
                                 const std::vector<uint8_t>& payload, int16_t source) {
  std::vector<uint8_t> message(MSG_HEADER_SIZE, 0);
  MsgHeader header;
  header.MsgClass = msgClass;
  header.MsgType = type;
  header.Count = count;
  header.Version = version;
  header.Source = source;
  header.Destination = source == NODE_SIM ? NODE_COMMGR : NODE_SIM;
  WriteMsgHeader(message.data(), header);
  message.insert(message.end(), payload.begin(), payload.end());
  return message;
}

std::vector<uint8_t> IntItem(uint32_t fsxIndex, int32_t value) {
  std::vector<uint8_t> item(INT_ITEM_SIZE);
  PutIntItem(item.data(), fsxIndex, value);
  return item;
}

std::vector<uint8_t> DoubleItem(uint32_t fsxIndex, double value) {
  std::vector<uint8_t> item(DOUBLE_ITEM_SIZE);
  PutDoubleItem(item.data(), fsxIndex, value);
  return item;
}

std::string HexDigits(const uint8_t* bytes, size_t size) {
  std::string hex;
  char digits[3];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    hex += digits;
  }
  return hex;
}

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> bytes(words.size() * 4);
  size_t at = 0;
  for (uint32_t word : words) PutU32(bytes.data() + 4 * at++, word);
  return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> bytes, const std::vector<uint8_t>& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}
