#include "record/record_encoder.h"
#include "record/recorder.h"
#include "record/replay_model.h"
#include "support/recording_sample.h"
#include "support/test_support.h"
#include "wire/bytes.h"
#include "zemrec.h"

namespace {

// A recording of a few block fields, as the simulator holds them.
std::vector<uint8_t> BlockFieldsRecording() {
  std::vector<uint8_t> file;
  RecordEncoder encoder([&file](const std::vector<uint8_t>& chunk) {
    file.insert(file.end(), chunk.begin(), chunk.end());
    return true;
  });
  encoder.Begin(RecordingHeader{});
  auto answer = [&](uint32_t t, uint32_t offset, std::vector<uint8_t> bytes) {
    ExchangeEntry x;
    x.Answer(offset, bytes.data(), static_cast<uint32_t>(bytes.size()));
    encoder.Add({EntryKind::Exchange, t, x.bytes});
  };
  std::vector<uint8_t> n1(8);
  PutF64(n1.data(), 55.5);
  answer(0, 0x2010, n1);
  answer(0, 0x0B7C, {0, 0, 0x80, 0});   // left tank full: 8388608
  answer(0, 0x0B80, {100, 0, 0, 0});    // of 100 gallons
  answer(0, 0x034E, {0x45, 0x23});      // COM1 123.45
  answer(0, 0x3000, {'S', 'E', 'A', 0, 0, 0});
  answer(0, 0x07CC, {0x00, 0xC0});      // autopilot heading 270 degrees
  answer(0, 0x057C, {0xFB, 0xFF, 0xFF, 0xFF});
  PutF64(n1.data(), 56.25);
  answer(500, 0x2010, n1);
  answer(700, 0x9990, {1, 2, 3});       // no block carries it: no row
  encoder.Flush();
  return file;
}

TEST(Zemrec, CsvShowsEachBlockFieldByNameAsADisplayReadsIt) {
  std::vector<std::string> lines;
  BlocksAsCsv(Parse(BlockFieldsRecording()), [&](const std::string& line) { lines.push_back(line); });
  ASSERT_EQ(lines.size(), 3u);
  auto cells = [](const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line.substr(0, line.size() - 1)) {
      if (c == ',') {
        out.emplace_back();
      } else {
        out.back().push_back(c);
      }
    }
    return out;
  };
  const std::vector<std::string> names = cells(lines[0]);
  auto column = [&](const std::string& name) {
    return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  ASSERT_EQ(names.front(), "time_s");
  // Block by block, each in the order of its bytes: the computed fuel
  // between the fuel flows and the temperatures.
  EXPECT_LT(column("b1.eng4_fuel_flow"), column("b1.fuel_left"));
  EXPECT_LT(column("b1.fuel_centre"), column("b1.eng1_cht"));
  EXPECT_LT(column("b1.engine_type"), column("b2.x3AE8"));
  EXPECT_LT(column("b2.nav2_ident"), column("b3.gps_latitude"));
  const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
      {"time_s", {"0.000", "0.500"}},      {"b1.eng1_n1", {"55.5", "56.25"}}, {"b1.fuel_left", {"100", "100"}},
      {"b2.com1", {"2345", "2345"}},       {"b2.nav1_ident", {"\"SEA\"", "\"SEA\""}},
      {"b3.ap_heading", {"49152", "49152"}}, {"b3.bank", {"-5", "-5"}},   {"b3.ias", {"0", "0"}},
  };
  for (const auto& [name, values] : expected) {
    ASSERT_LT(column(name), names.size()) << name;
    EXPECT_EQ(cells(lines[1])[column(name)], values[0]) << name;
    EXPECT_EQ(cells(lines[2])[column(name)], values[1]) << name;
  }
}

TEST(Zemrec, CutGivesThePartAsARecordingOfItsOwnFromAnImage) {
  const Recording whole = Parse(TheSample().file);
  const Recording part = Parse(CutRecording(whole, 12500, 22500));
  EXPECT_EQ(part.header.startUtcMs, whole.header.startUtcMs + 12500);
  EXPECT_TRUE(part.problems.empty());
  EXPECT_EQ(part.end, RecordingEnd::Closed);
  ASSERT_GE(part.items.size(), 2u);
  // At 12.5 s the simulator had been lost; ComMgr was there.
  EXPECT_EQ(part.items[0].type, RecordType::Image);
  EXPECT_FALSE(part.items[0].state.simulatorConnected);
  EXPECT_TRUE(part.items[0].state.comMgrConnected);
  EXPECT_EQ(part.items[1].type, RecordType::Plan);
  EXPECT_EQ(part.items[1].text, PLAN_PATH);
  EXPECT_EQ(part.items.back().timeMs, 10000u);
  for (uint32_t t = 0; t <= 10000; t += 250) EXPECT_EQ(SpaceAt(part, t), SpaceAt(whole, t + 12500)) << t;
  for (const RecordedItem& item : part.items) {
    if (item.type != RecordType::Write) continue;
    EXPECT_EQ(GetU32(part.Data(item.dataAt)), (item.timeMs + 12500) / 2000) << item.timeMs;
  }
}

}  // namespace
