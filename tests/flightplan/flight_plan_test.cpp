#include <chrono>
#include <cmath>

#include "flightplan/flight_plan.h"
#include "flightplan/waypoint_parser.h"
#include "flightplan/xml_scanner.h"
#include "process/text.h"
#include "simlink/blocks.h"
#include "support/files.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

class FlightPlans : public testing::Test {
 protected:
  void SetUp() override {
    FlightPlanBlock = FlightPlanBlockRecord{};
    FlightPlanWatch = FlightPlanWatchRecord{};
    FlightPlanPath.fill('\0');
  }
  void TearDown() override { SetUp(); }
  static int32_t Import(const std::string& text) {
    StringCharSource source(text);
    return ImportFlightPlan(source);
  }
};

std::string Waypoint(const std::string& id, const std::string& type, const std::string& position) {
  return "<ATCWaypoint id=\"" + id + "\">\n<ATCWaypointType>" + type + "</ATCWaypointType>\n<WorldPosition>" +
         position + "</WorldPosition>\n</ATCWaypoint>\n";
}

const std::string kSeattle = "N47\xC2\xB0 26' 56.00\",W122\xC2\xB0 18' 34.00\",+000432.00";

struct PositionCase {
  const char* name;
  std::string text;
  bool stored;
  double latitude;
  double longitude;
};

class Positions : public FlightPlans, public testing::WithParamInterface<PositionCase> {};

TEST_P(Positions, AreParsedIntoDecimalDegrees) {
  EXPECT_EQ(ParseWorldPosition(3, GetParam().text.c_str()), GetParam().stored);
  if (!GetParam().stored) return;
  const FlightPlanWaypoint& waypoint = FlightPlanBlock.Waypoints[3];
  EXPECT_NEAR(waypoint.Latitude, GetParam().latitude, 1e-9);
  EXPECT_NEAR(waypoint.Longitude, GetParam().longitude, 1e-9);
  EXPECT_EQ(std::signbit(waypoint.Latitude), std::signbit(GetParam().latitude));
  EXPECT_EQ(std::signbit(waypoint.Longitude), std::signbit(GetParam().longitude));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Positions,
    testing::Values(
        PositionCase{"NorthWest", kSeattle, true, 47 + 26 / 60.0 + 56 / 3600.0, -(122 + 18 / 60.0 + 34 / 3600.0)},
        PositionCase{"SouthOfZeroIsMinusZero", "S0\xC2\xB0 0' 0.00\",E0\xC2\xB0 0' 0.00\",+000000.00", true, -0.0, 0.0},
        PositionCase{"UnknownHemisphere", "N47\xC2\xB0 26' 56.00\",X122\xC2\xB0 18' 34.00\",+0", false, 0, 0},
        PositionCase{"IncompleteLongitude", "N47 26 56.00\",E12 30", false, 0, 0}), RowName());

TEST(XmlScanner, TagOf79CharactersFitsEightyDoesNotAndValuesAreCutTo79) {
  char buffer[80];
  StringCharSource value(std::string(5000, 'v') + "</Title>");
  ASSERT_TRUE(GetXMLValue(value, buffer, 80));
  EXPECT_EQ(std::string(buffer), std::string(79, 'v'));
  std::string tag79(79, 'a');
  StringCharSource fits("text <" + tag79 + "> more");
  ASSERT_TRUE(GetXMLId(fits, buffer, 80));
  EXPECT_EQ(std::string(buffer), tag79);

  LogTail log;
  StringCharSource tooLong("<" + std::string(80, 'b') + ">");
  EXPECT_FALSE(GetXMLId(tooLong, buffer, 80));
  EXPECT_EQ(log.Count("GetXMLId() - Buffer limit exceeded: 80"), 1);
}

TEST_F(FlightPlans, TitleAltitudeTypesAndTheFirstThirtyWaypoints) {
  std::string plan = "<?xml version=\"1.0\"?><Title>" + std::string(45, 'T') +
                     "</Title><CruisingAlt>FL350</CruisingAlt>"
                     "<ATCWaypointType>VOR</ATCWaypointType>" +  // before any waypoint: passed over
                     Waypoint("ALPHA BRAVO", "AiRpOrT", kSeattle) + Waypoint("B", "VOR", kSeattle);
  for (int i = 2; i < 31; ++i) plan += Waypoint("W" + std::to_string(i), "Waypoint", kSeattle);
  LogTail log;
  EXPECT_EQ(Import(plan), 30);
  EXPECT_EQ(log.Count("Maximum of 30 points exceeded. "), 1);
  EXPECT_EQ(std::string(FlightPlanBlock.Title), std::string(39, 'T')) << "nothing past the entries was touched";
  EXPECT_EQ(FlightPlanBlock.CruiseAlt, 0.0);
  EXPECT_STREQ(FlightPlanBlock.Waypoints[0].Ident, "ALPHA-BRA");
  EXPECT_EQ(FlightPlanBlock.Waypoints[0].WaypointType, WAYPOINT_AIRPORT);
  EXPECT_EQ(FlightPlanBlock.Waypoints[1].WaypointType, WAYPOINT_NAVAID);
  EXPECT_EQ(FlightPlanBlock.Waypoints[29].WaypointType, WAYPOINT_OTHER);
  EXPECT_STREQ(FlightPlanBlock.Waypoints[29].Ident, "W29");
}

TEST_F(FlightPlans, ShippedSamplesImportWithTheirTitlesAltitudesAndEveryWaypoint) {
  const struct {
    const char* file;
    const char* title;
    double cruise;
    uint32_t waypoints;
    const char* lastIdent;
  } samples[] = {{"KSEA-KPDX.pln", "KSEA to KPDX", 16000, 6, "KPDX"},
                 {"EGLL-LFPG.pln", "EGLL to LFPG", 28000, 8, "LFPG"},
                 {"YSSY-NZAA.pln", "Sydney Kingsford Smith to Auckland acro", 37000, 4, "NZAA"}};
  for (const auto& sample : samples) {
    fs::path file = fs::path(TestProgramPath()).parent_path() / "flightplans" / sample.file;
    CopyText(FlightPlanPath.data(), FlightPlanPath.size(), file.string());
    CheckFlightPlan(FlightPlanPath.data());
    EXPECT_TRUE(FlightPlanWatch.FlightPlanLoaded) << sample.file;
    EXPECT_STREQ(FlightPlanBlock.Title, sample.title);
    EXPECT_EQ(FlightPlanBlock.CruiseAlt, sample.cruise);
    ASSERT_EQ(FlightPlanBlock.WaypointCount, sample.waypoints) << sample.file;
    EXPECT_STREQ(FlightPlanBlock.Waypoints[sample.waypoints - 1].Ident, sample.lastIdent);
  }
}

// Only a plan with waypoints counts as loaded; a file that breaks off or
// holds none leaves the node without a plan, and says nothing of loading.
struct PlanFileCase {
  const char* name;
  std::string text;
  uint32_t waypoints;  // 0: not loaded
};

class PlanFiles : public FlightPlans, public testing::WithParamInterface<PlanFileCase> {};

TEST_P(PlanFiles, AreLoadedOnlyWithTheirWaypoints) {
  const std::string path = (fs::path(MakeFreshDirectory("plans")) / "plan.pln").string();
  WriteWholeFile(path, GetParam().text);
  LogTail log;
  CheckFlightPlan(path.c_str());
  const uint32_t waypoints = GetParam().waypoints;
  EXPECT_EQ(FlightPlanWatch.FlightPlanLoaded, waypoints != 0);
  EXPECT_EQ(FlightPlanBlock.WaypointCount, waypoints);
  EXPECT_EQ(FlightPlanBlock.PlanSerial, waypoints != 0 ? 1u : 0u);
  EXPECT_EQ(log.Count("loaded: " + std::to_string(waypoints) + " waypoints"), waypoints != 0 ? 1 : 0) << log.Added();
  EXPECT_EQ(log.Count("loaded:"), waypoints != 0 ? 1 : 0) << log.Added();
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlanFiles,
    testing::Values(PlanFileCase{"TwoWaypoints", "<Title>T</Title>" + Waypoint("A", "VOR", kSeattle) + Waypoint("B", "NDB", kSeattle), 2},
                    PlanFileCase{"Empty", "", 0},
                    PlanFileCase{"TitleButNoWaypoint", "<Title>Nowhere</Title><CruisingAlt>9000</CruisingAlt>", 0},
                    PlanFileCase{"EndsInsideTheTitle", "<Title>Cut off", 0},
                    PlanFileCase{"EndsInsideAWaypointType", Waypoint("A", "VOR", kSeattle) + "<ATCWaypointType>VO", 0},
                    PlanFileCase{"EndsInsideTheAltitude", Waypoint("A", "VOR", kSeattle) + "<CruisingAlt>90", 0}),
    RowName());

TEST_F(FlightPlans, FileIsImportedAgainOnlyWhenWrittenAgain) {
  std::string directory = MakeFreshDirectory("watch");
  std::string path = (fs::path(directory) / "plan.pln").string();
  std::string plan = "<Title>Watched</Title>" + Waypoint("A", "User", kSeattle);
  WriteWholeFile(path, plan);
  CopyText(FlightPlanPath.data(), FlightPlanPath.size(), path);

  CheckFlightPlan(FlightPlanPath.data());
  EXPECT_EQ(FlightPlanBlock.PlanSerial, 1u);
  FlightPlanBlock.Title[0] = 'X';  // a second import would bring back the W
  CheckFlightPlan(FlightPlanPath.data());
  CheckFlightPlan(FlightPlanPath.data());
  EXPECT_EQ(FlightPlanBlock.Title[0], 'X') << "an unchanged file is read once";

  WriteWholeFile(path, plan);  // same content, new write time
  fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
  CheckFlightPlan(FlightPlanPath.data());
  EXPECT_EQ(FlightPlanBlock.Title[0], 'W');
  EXPECT_EQ(FlightPlanBlock.PlanSerial, 2u);

}

}  // namespace
