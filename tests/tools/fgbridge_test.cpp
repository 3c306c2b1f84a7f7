// What fgbridge makes of FlightGear's values and of the node's writes, with
// the bytes a cockpit's display decodes written out here, and its route
// file as the node imports it.

#include <cmath>

#include "fgbridge/fg_mapping.h"
#include "fgbridge/fg_plan.h"
#include "flightplan/flight_plan.h"
#include "support/message_bytes.h"
#include "support/test_support.h"

namespace {

const ReadMapping& Read(uint16_t offset) {
  for (const ReadMapping& mapping : ReadMappings()) {
    if (mapping.offset == offset) return mapping;
  }
  static const ReadMapping none{};
  ADD_FAILURE() << "no read mapping at " << offset;
  return none;
}

struct ReadCase {
  uint16_t offset;
  const char* value;  // as FlightGear's property server answers
  const char* bytes;  // what the node reads at the offset
};

class FlightGearValues : public testing::TestWithParam<ReadCase> {};

TEST_P(FlightGearValues, BecomeTheBytesTheNodeReads) {
  const ReadMapping& mapping = Read(GetParam().offset);
  uint8_t field[32] = {};
  EncodeRead(mapping, GetParam().value, field);
  EXPECT_EQ(HexDigits(field, mapping.width), GetParam().bytes) << std::hex << GetParam().offset << " = " << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FlightGearValues,
    testing::Values(ReadCase{0x034E, "118.3", "3018"},            // COM1 118.30: BCD 0x1830
                    ReadCase{0x0350, "110.95", "9510"},           // NAV1 110.95
                    ReadCase{0x034C, "350.5", "5003"},            // ADF1 main: 0x0350
                    ReadCase{0x0356, "1234.5", "0501"},           // ADF1 extension: 1 thousand, 5 tenths
                    ReadCase{0x02BC, "100.5", "40320000"},        // IAS x 128 = 12864
                    ReadCase{0x057C, "10", "398EE3F8"},          // right bank 10: -10/360 x 2^32
                    ReadCase{0x0578, "-5", "E4388E03"},          // nose down 5 (FlightGear's -5 up): +5/360 x 2^32
                    ReadCase{0x0580, "270", "000000C0"},          // 3/4 of a circle
                    ReadCase{0x0560, "45", "00000000AB4E4C00"},  // 90 degrees = 10001750 x 2^32
                    ReadCase{0x07CC, "359.9", "EEFF"},            // bug 359.9: 65518
                    ReadCase{0x0BE0, "1", "FF3F0000"},            // flaps fully out: 16383
                    ReadCase{0x07BC, "true", "01000000"},
                    ReadCase{0x3500, "Cessna 172P Skyhawk (1981 model)", "436573736E61203137325020536B796861776B2028313900"},
                    ReadCase{0x2400, "", "0000000000000000"}),    // no such property: 0
    [](const testing::TestParamInfo<ReadCase>& row) { return "Offset" + std::to_string(row.param.offset); });

std::vector<std::pair<std::string, std::string>> Writing(uint16_t offset, const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& bytes) {
  std::vector<uint8_t> view(0x10000, 0);
  for (const auto& [at, values] : bytes) std::copy(values.begin(), values.end(), view.begin() + at);
  std::vector<std::pair<std::string, std::string>> sets;
  for (const WriteMapping& mapping : WriteMappings()) {
    if (mapping.offset != offset) continue;
    for (auto& set : DecodeWrite(mapping, view.data())) sets.push_back(set);
  }
  return sets;
}

using Sets = std::vector<std::pair<std::string, std::string>>;

TEST(NodeWrites, SetTheMatchingFlightGearProperties) {
  EXPECT_EQ(Writing(0x034E, {{0x034E, {0x45, 0x23}}}), (Sets{{"/instrumentation/comm[0]/frequencies/selected-mhz", "123.45"}}));
  EXPECT_EQ(Writing(0x07CC, {{0x07CC, {0x00, 0xC0}}}), (Sets{{"/autopilot/settings/heading-bug-deg", "270"}}));
  EXPECT_EQ(Writing(0x07D4, {{0x07D4, {0xC7, 0x00, 0xE8, 0x0B}}}).at(0).first, "/autopilot/settings/target-altitude-ft");
  EXPECT_NEAR(std::stod(Writing(0x07D4, {{0x07D4, {0xC7, 0x00, 0xE8, 0x0B}}}).at(0).second), 10000.0, 0.01);
  EXPECT_EQ(Writing(0x034C, {{0x034C, {0x34, 0x02}}, {0x0356, {0x05, 0x01}}}),
            (Sets{{"/instrumentation/adf[0]/frequencies/selected-khz", "1234.5"}}));
  EXPECT_EQ(Writing(0x07BC, {{0x07BC, {1, 0, 0, 0}}}), (Sets{{"/autopilot/KAP140/locks/roll-axis", "true"}}));
  const Sets off = Writing(0x07BC, {});
  EXPECT_EQ(off.size(), 8u) << "every autopilot mode off";
  EXPECT_EQ(off.at(1), (std::pair<std::string, std::string>{"/autopilot/KAP140/locks/hdg-hold", "false"}));
  // COM1 swaps: 123.45 in use, 118.00 standing by.
  EXPECT_EQ(Writing(0x3123, {{0x3123, {8}}, {0x034E, {0x45, 0x23}}, {0x311A, {0x00, 0x18}}}),
            (Sets{{"/instrumentation/comm[0]/frequencies/selected-mhz", "118"},
                  {"/instrumentation/comm[0]/frequencies/standby-mhz", "123.45"}}));
  EXPECT_EQ(Writing(0x0D0C, {{0x0D0C, {0x04, 0}}}).at(2), (std::pair<std::string, std::string>{"/controls/lighting/landing-lights", "true"}));
}

// The route file is one the node reads back to the same waypoints.
TEST(RouteFiles, AreImportedByTheNodeWithEveryWaypoint) {
  Route route;
  route.departure = "KSFO";
  route.destination = "KLAX";
  route.cruiseFeet = 8000;
  route.waypoints = {{"KSFO", 37.618806, -122.375417, 13}, {"SFO", 37.619483, -122.373894, 0},
                     {"KLAX", 33.942536, -118.408075, 128}};
  FlightPlanBlock = FlightPlanBlockRecord{};
  StringCharSource file(FlightPlanText(route));
  ASSERT_EQ(ImportFlightPlan(file), 3);
  EXPECT_STREQ(FlightPlanBlock.Title, "KSFO to KLAX");
  EXPECT_EQ(FlightPlanBlock.CruiseAlt, 8000.0);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_STREQ(FlightPlanBlock.Waypoints[i].Ident, route.waypoints[i].id.c_str());
    EXPECT_NEAR(FlightPlanBlock.Waypoints[i].Latitude, route.waypoints[i].latitude, 1e-5);
    EXPECT_NEAR(FlightPlanBlock.Waypoints[i].Longitude, route.waypoints[i].longitude, 1e-5);
  }
  EXPECT_EQ(FlightPlanBlock.Waypoints[0].WaypointType, WAYPOINT_AIRPORT);
  EXPECT_EQ(FlightPlanBlock.Waypoints[1].WaypointType, WAYPOINT_FIX);
  EXPECT_EQ(FlightPlanBlock.Waypoints[2].WaypointType, WAYPOINT_AIRPORT);
  EXPECT_EQ(WorldPosition(-33.5, 151.25, 21), "S33\xC2\xB0 30' 0.00\",E151\xC2\xB0 15' 0.00\",+000021.00");
}

}  // namespace
