#include "support/sim_fixture.h"
#include "traffic/traffic.h"
#include "traffic/traffic_state.h"

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
  PutSlot(table, 2, 101, 2.0f, 16384, "N123AB");
  PutSlot(table, 4, 102, 4.0f, 65535, "ABCDEFGHIJKL");
  TrafficStaging staging{};
  ConvertTraffic(staging, table);
  for (size_t i = 0; i < TRAFFIC_RECORDS; ++i) EXPECT_EQ(staging[i].ObjID, 100 + i) << i;
  // Headings in degrees, identifiers cut at eight characters.
  EXPECT_NEAR(staging[1].Heading, 90.0, 1e-4);
  EXPECT_EQ(std::string(staging[1].Ident), "N123AB");
  EXPECT_NEAR(staging[2].Heading, 359.9945, 1e-4);
  EXPECT_EQ(std::string(staging[2].Ident), "ABCDEFGH");
  EXPECT_DOUBLE_EQ(staging[0].Latitude, 1.0);
  EXPECT_DOUBLE_EQ(staging[0].Longitude, -1.0);
  EXPECT_DOUBLE_EQ(staging[0].Altitude, 1000.5);
  EXPECT_DOUBLE_EQ(staging[0].GroundSpeed, 250.0);
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
