// The Wireshark dissector on captures the test writes: every field of the
// blocks shown as the layouts place it, the items as ComMgr sent them, and
// each hostile datagram marked for what is wrong with it, none making the
// dissector fail.

#include <map>
#include <regex>

#include "simlink/blocks.h"
#include "support/system_tools.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

Bytes Item(Bytes bytes, uint32_t index, const Bytes& value) {
  uint8_t word[4];
  PutU32(word, index);
  bytes.insert(bytes.end(), word, word + 4);
  bytes.insert(bytes.end(), value.begin(), value.end());
  return bytes;
}

Bytes Sized(Bytes bytes, size_t size) {
  bytes.resize(size, 0);
  return bytes;
}

// A capture of raw IPv4 datagrams (link type 101) from ComMgr's host to the
// node's, one UDP datagram per record.
void WriteCapture(const std::string& path, const std::vector<std::pair<uint16_t, Bytes>>& datagrams) {
  Bytes file(24, 0);
  PutU32(file.data(), 0xA1B2C3D4);
  PutU16(file.data() + 4, 2);
  PutU16(file.data() + 6, 4);
  PutU32(file.data() + 16, 65535);
  PutU32(file.data() + 20, 101);
  for (const auto& [port, payload] : datagrams) {
    Bytes packet(28, 0);
    const uint8_t ip[] = {0x45, 0, 0, 0, 0, 1, 0, 0, 64, 17, 0, 0, 192, 168, 50, 2, 192, 168, 50, 10};
    std::memcpy(packet.data(), ip, sizeof ip);
    packet[2] = static_cast<uint8_t>((28 + payload.size()) >> 8);
    packet[3] = static_cast<uint8_t>(28 + payload.size());
    const uint16_t udp[] = {40000, port, static_cast<uint16_t>(8 + payload.size())};
    for (size_t i = 0; i < 3; ++i) {
      packet[20 + 2 * i] = static_cast<uint8_t>(udp[i] >> 8);
      packet[21 + 2 * i] = static_cast<uint8_t>(udp[i]);
    }
    packet.insert(packet.end(), payload.begin(), payload.end());
    Bytes record(16, 0);
    PutU32(record.data() + 8, static_cast<uint32_t>(packet.size()));
    PutU32(record.data() + 12, static_cast<uint32_t>(packet.size()));
    file.insert(file.end(), record.begin(), record.end());
    file.insert(file.end(), packet.begin(), packet.end());
  }
  WriteWholeFile(path, std::string(file.begin(), file.end()));
}

struct Hostile {
  const char* what;
  uint16_t port;
  Bytes datagram;
  const char* name;    // the message the dissector names; empty: none
  const char* marked;  // part of its expert text; empty: nothing to mark
};

Bytes Int(int32_t value) {
  Bytes bytes(4);
  PutI32(bytes.data(), value);
  return bytes;
}

TEST(Dissector, MarksEachHostileDatagramForWhatIsWrongWithIt) {
  const std::vector<Hostile> table = {
      {"two bytes", 9030, {1, 2}, "", "shorter than the 36-byte header"},
      {"a wrong version", 9030, TestMessage(2, MSG_KEEP_ALIVE, 0, MSG_VERSION - 1), "MSG_KEEP_ALIVE", "the node takes only 30116"},
      {"an address without a port", 9030, TestMessage(2, MSG_ADR) + "192.168.50.2", "MSG_ADR", "No address and port"},
      {"a port out of range", 9030, TestMessage(2, MSG_ADR) + "192.168.50.2 70000", "MSG_ADR", "Not a usable IPv4 address"},
      {"a count past the items", 9030, Item(TestMessage(1, MSG_FSX_IN, 2147483647), 165, Int(5)), "MSG_FSX_IN",
       "Count says 2147483647 items; the datagram ends after 1"},
      {"an index outside the map", 9030, Item(Item(TestMessage(1, MSG_FSX_IN, 2), 165, Int(5)), 4000000000u, Int(1)),
       "MSG_FSX_IN", "Index 4000000000 has no width"},
      {"a value cut short", 9030, Item(TestMessage(1, MSG_FSX_IN, 1), 114, {0, 0, 0}), "MSG_FSX_IN", "runs past the end"},
      {"a short block", 9050, Sized(TestMessage(1, MSG_BLOCK_1), 100), "MSG_BLOCK_1", "100 bytes; MSG_BLOCK_1 is 360"},
      {"500 bytes to the node", 9030, Sized(Item(TestMessage(1, MSG_FSX_IN, 1), 165, Int(5)), 500), "MSG_FSX_IN",
       "the node restarts on 500 bytes or more"},
      {"an unknown class", 9030, TestMessage(7, 7), "class 7 type 7", "Neither the node nor ComMgr sends"},
      // By heuristic on ComMgr's own port: a well-formed block is read without a mark,
      // a datagram of another version is left to others.
      {"a block on another port", 9050, Sized(TestMessage(1, MSG_BLOCK_2, 0, MSG_VERSION, {}, NODE_SIM), 192), "MSG_BLOCK_2", ""},
      {"another protocol's datagram", 9050, Sized(TestMessage(1, MSG_BLOCK_2, 0, 1), 192), "", ""},
  };
  std::vector<std::pair<uint16_t, Bytes>> datagrams;
  for (const Hostile& row : table) datagrams.push_back({row.port, row.datagram});
  const std::string capture = (fs::path(MakeFreshDirectory("dissector")) / "hostile.pcap").string();
  WriteCapture(capture, datagrams);

  ExpectDissectedWithoutFailure(capture);
  const std::vector<std::string> lines =
      SplitLines(Dissect(capture, "udp", {"-T", "fields", "-e", "zemsim.name", "-e", "_ws.expert.message"}));
  ASSERT_EQ(lines.size(), table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    const std::string name = lines[i].substr(0, lines[i].find('\t'));
    const std::string marks = lines[i].substr(lines[i].find('\t') + 1);
    EXPECT_EQ(name, table[i].name) << table[i].what;
    if (*table[i].marked == '\0') {
      EXPECT_EQ(marks, "") << table[i].what;
    } else {
      EXPECT_NE(marks.find(table[i].marked), std::string::npos) << table[i].what << ": " << marks;
    }
  }
}

// "Offset 0x3B70, 8 bytes: 1234.5" lines of the dissection, by offset.
std::map<uint16_t, std::string> OffsetValues(const std::string& dissection) {
  std::map<uint16_t, std::string> values;
  static const std::regex line("Offset 0x([0-9A-F]{4}), [0-9]+ bytes: (\\S+)");
  for (auto match = std::sregex_iterator(dissection.begin(), dissection.end(), line); match != std::sregex_iterator(); ++match) {
    values[static_cast<uint16_t>(std::stoul((*match)[1].str(), nullptr, 16))] = (*match)[2].str();
  }
  return values;
}

// The field's bytes as the dissector must show them: 8-byte fields as
// doubles, 1, 2 and 4 bytes as unsigned integers, any other width as hex.
std::string Shown(const uint8_t* bytes, uint16_t width) {
  if (width == 8) return std::to_string(GetF64(bytes));
  if (width == 1 || width == 2 || width == 4) {
    return std::to_string(width == 1 ? bytes[0] : width == 2 ? GetU16(bytes) : GetU32(bytes));
  }
  std::string hex;
  char digits[3];
  for (uint16_t i = 0; i < width; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    hex += digits;
  }
  return hex;
}

TEST(Dissector, ShowsEveryBlockFieldWhereItsLayoutPutsItAndTheItems) {
  const std::pair<uint32_t, BlockLayout> blocks[] = {
      {MSG_BLOCK_1, Block1Layout()}, {MSG_BLOCK_2, Block2Layout()}, {MSG_BLOCK_3, Block3Layout()}};
  const size_t sizes[] = {360, 192, 280};
  std::vector<std::pair<uint16_t, Bytes>> datagrams;
  for (size_t b = 0; b < 3; ++b) {
    Bytes block = Sized(TestMessage(1, blocks[b].first, 0, MSG_VERSION, {}, NODE_SIM), sizes[b]);
    const BlockLayout& layout = blocks[b].second;
    for (size_t i = 0; i < layout.count; ++i) {
      uint8_t* field = block.data() + layout.fields[i].blockOffset;
      for (uint16_t at = 0; at < layout.fields[i].width; ++at) field[at] = static_cast<uint8_t>(0x21 + i * 7 + at);
      if (layout.fields[i].width == 8) PutF64(field, 0.25 * static_cast<double>(i) - 3);
    }
    datagrams.push_back({9050, block});
  }
  datagrams.push_back({9030, Item(Item(TestMessage(1, MSG_FSX_IN, 2), 165, Int(5)), 114, {0, 0, 0, 0, 0, 0x40, 0x8F, 0x40})});
  const std::string capture = (fs::path(MakeFreshDirectory("dissector")) / "blocks.pcap").string();
  WriteCapture(capture, datagrams);

  ExpectDissectedWithoutFailure(capture);
  EXPECT_EQ(Dissect(capture, "zemsim && _ws.expert", {}), "");
  for (size_t b = 0; b < 3; ++b) {
    const BlockLayout& layout = blocks[b].second;
    const std::map<uint16_t, std::string> shown = OffsetValues(
        Dissect(capture, "zemsim.type == " + std::to_string(blocks[b].first), {"-V", "-O", "zemsim"}));
    EXPECT_EQ(shown.size(), layout.count) << "block " << b + 1;
    for (size_t i = 0; i < layout.count; ++i) {
      const BlockField& field = layout.fields[i];
      auto found = shown.find(field.simOffset);
      ASSERT_NE(found, shown.end()) << "block " << b + 1 << " offset " << field.simOffset;
      const std::string expected = Shown(datagrams[b].second.data() + field.blockOffset, field.width);
      if (field.width == 8) {
        EXPECT_EQ(std::stod(found->second), std::stod(expected)) << "offset " << field.simOffset;
      } else {
        EXPECT_EQ(found->second, expected) << "block " << b + 1 << " offset " << field.simOffset;
      }
    }
  }
  const std::string items = Dissect(capture, "zemsim.type == 2", {"-V", "-O", "zemsim"});
  EXPECT_NE(items.find("Item 1: index 165 = 5 (integer)"), std::string::npos) << items;
  EXPECT_NE(items.find("Item 2: index 114 = 1000 (double)"), std::string::npos) << items;
}

}  // namespace
