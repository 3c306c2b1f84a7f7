// The Wireshark dissector on captures the test writes: every field of the
// blocks shown as the layouts place it, the items as ComMgr sent them, and
// each hostile datagram marked for what is wrong with it, none making the
// dissector fail.

#include <cstring>
#include <map>
#include <regex>

#include "simlink/blocks.h"
#include "support/files.h"
#include "support/message_bytes.h"
#include "support/system_tools.h"
#include "support/test_support.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

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
  return HexDigits(bytes, width);
}

TEST(Dissector, ShowsEveryBlockFieldWhereItsLayoutPutsItTheItemsAndMarksHostileDatagrams) {
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
  datagrams.push_back({9030, TestMessage(1, MSG_FSX_IN, 2) + IntItem(165, 5) + DoubleItem(114, 1000.0)});
  // Hostile datagrams after them (frames 5 to 10): each marked, none making the dissector fail.
  for (const Bytes& hostile : {Bytes{1, 2}, TestMessage(2, MSG_KEEP_ALIVE, 0, MSG_VERSION - 1), TestMessage(2, MSG_ADR) + "192.168.50.2 70000",
                               TestMessage(1, MSG_FSX_IN, 2147483647) + IntItem(165, 5),
                               Sized(TestMessage(1, MSG_BLOCK_1), 100), Sized(TestMessage(1, MSG_FSX_IN, 1) + IntItem(165, 5), 500)}) {
    datagrams.push_back({9030, hostile});
  }
  const std::string capture = (fs::path(MakeFreshDirectory("dissector")) / "blocks.pcap").string();
  WriteCapture(capture, datagrams);

  // No frame on which the dissector raised a Lua error or caught one of its own.
  EXPECT_EQ(Dissect(capture, "_ws.expert.message contains \"Lua Error\" || zemsim.failed", {}), "");
  EXPECT_EQ(Dissect(capture, "zemsim && _ws.expert", {"-T", "fields", "-e", "frame.number"}), "5\n6\n7\n8\n9\n10\n");
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
