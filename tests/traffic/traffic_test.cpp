#include <cstring>

#include "support/message_bytes.h"
#include "support/sim_fixture.h"
#include "traffic/traffic.h"
#include "traffic/traffic_state.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

namespace {

void PutSlot(TrafficTable& table, size_t slot, uint32_t id, float latitude, uint16_t heading, const char* ident) {
  uint8_t* s = table.data() + slot * TRAFFIC_SLOT_SIZE;
  PutU32(s + TrafficSlotField::ObjectId, id);
  PutF32(s + TrafficSlotField::Latitude, latitude);
  PutF32(s + TrafficSlotField::Longitude, -latitude);
  PutF32(s + TrafficSlotField::Altitude, 1000.5f);
  PutU16(s + TrafficSlotField::Heading, heading);
  PutU16(s + TrafficSlotField::GroundSpeed, 250);
  std::strncpy(reinterpret_cast<char*>(s + TrafficSlotField::Ident), ident, TRAFFIC_SLOT_SIZE - TrafficSlotField::Ident);
}

uint32_t PayloadId(const TrafficMessage& message, size_t record) {
  return GetU32(message.data() + MSG_BLOCK_DATA_OFFSET + record * TRAFFIC_RECORD_SIZE + TrafficRecordField::ObjID);
}

TEST(ConvertTraffic, TakesTheFirstTwentyOccupiedSlotsInOrder) {
  TrafficTable table{};
  uint32_t id = 100;
  for (size_t slot = 0; slot < 30; ++slot) {
    // Ids 0 and 1 mark slots to pass over.
    PutSlot(table, slot, slot % 6 == 0 ? 0 : slot % 6 == 3 ? 1 : id++, static_cast<float>(slot), 0, "X");
  }
  TrafficStaging staging{};
  ConvertTraffic(staging, table);
  for (size_t i = 0; i < TRAFFIC_RECORDS; ++i) EXPECT_EQ(staging[i].ObjID, 100 + i) << i;
}

class TrafficPasses : public SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    if (TrafficMutex == nullptr) InitTraffic();
    GroundTrafficCounter = 0;
    groundTrafficGate = -1;
    groundTrafficReady = false;
    Connect();
  }
  void TearDown() override {
    groundTrafficGate = -1;
    groundTrafficReady = false;
    SimulatorTest::TearDown();
  }
  void ServeTable(uint32_t offset, size_t aircraft, uint32_t firstId) {
    TrafficTable table{};
    for (size_t i = 0; i < aircraft; ++i) PutSlot(table, i, firstId + static_cast<uint32_t>(i), 1.0f, 0, "T");
    server.space.Write(offset, table.data(), TRAFFIC_TABLE_SIZE);
  }
};

std::string RecordHex(const TrafficMessage& message, size_t record) {
  return HexDigits(message.data() + MSG_BLOCK_DATA_OFFSET + record * TRAFFIC_RECORD_SIZE, TRAFFIC_RECORD_SIZE);
}

// An aircraft as the displays decode it, and none left behind once it has gone.
TEST_F(TrafficPasses, AirMessageCarriesTheAircraftNowAroundAndNoGhosts) {
  TrafficTable table{};
  PutSlot(table, 1, 2101, 47.5f, 16384, "N123ABCDE");
  PutSlot(table, 2, 1, 0.0f, 0, "SKIPPED");
  PutSlot(table, 5, 2102, 1.0f, 0, "B");
  PutSlot(table, 9, 2103, 2.0f, 0, "C");
  uint8_t* s = table.data() + TRAFFIC_SLOT_SIZE;
  PutF32(s + TrafficSlotField::Longitude, -122.25f);
  PutF32(s + TrafficSlotField::Altitude, 4500.0f);
  PutU16(s + TrafficSlotField::GroundSpeed, 180);
  server.space.Write(AIR_TRAFFIC_OFFSET, table.data(), TRAFFIC_TABLE_SIZE);
  TrafficPass();
  // latitude 47.5, longitude -122.25, altitude 4500, heading 90, speed 180, id 2101, "N123ABCD"
  EXPECT_EQ(RecordHex(AirTrafficMessage, 0),
            "0000000000C047400000000000905EC0000000000094B14000000000"
            "008056400000000000806640350800004E3132334142434400000000");
  EXPECT_EQ((std::vector<uint32_t>{PayloadId(AirTrafficMessage, 1), PayloadId(AirTrafficMessage, 2)}),
            (std::vector<uint32_t>{2102, 2103}));

  table.fill(0);
  PutSlot(table, 40, 2103, 2.0f, 0, "C");
  server.space.Write(AIR_TRAFFIC_OFFSET, table.data(), TRAFFIC_TABLE_SIZE);
  TrafficPass();
  std::vector<uint32_t> ids;
  for (size_t record = 0; record < TRAFFIC_RECORDS; ++record) ids.push_back(PayloadId(AirTrafficMessage, record));
  std::vector<uint32_t> expected(TRAFFIC_RECORDS, 0);
  expected[0] = 2103;
  EXPECT_EQ(ids, expected) << "aircraft that have left are gone";
}

TEST_F(TrafficPasses, GroundTableIsReadOnlyThroughTheOpenGateEveryFifthPass) {
  ServeTable(GROUND_TRAFFIC_OFFSET, 2, 900);
  for (int pass = 0; pass < 7; ++pass) TrafficPass();
  EXPECT_FALSE(groundTrafficReady) << "the gate starts closed";
  groundTrafficGate = 0;
  TrafficPass();
  EXPECT_TRUE(groundTrafficReady) << "the counter has long reached five";
  EXPECT_EQ(PayloadId(GndTrafficMessage, 1), 901u);
  groundTrafficReady = false;
  for (int pass = 0; pass < 4; ++pass) TrafficPass();
  EXPECT_FALSE(groundTrafficReady);
  TrafficPass();
  EXPECT_TRUE(groundTrafficReady) << "the fifth pass after a transfer";
}

}  // namespace
