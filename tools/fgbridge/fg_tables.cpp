#include "fg_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bridge/bridge_listen.h"
#include "fg_plan.h"
#include "process/text.h"
#include "traffic/traffic.h"
#include "wire/bytes.h"

namespace fs = std::filesystem;

namespace {
constexpr uint32_t FLIGHT_PLAN_PATH_OFFSET = 0x0130;
constexpr uint32_t FLIGHT_PLAN_PATH_SIZE = 256;
constexpr uint32_t SLOT_SIZE = TRAFFIC_SLOT_SIZE;
constexpr uint32_t SLOTS = TRAFFIC_SLOTS;
// AI aircraft slower than this count as on the ground.
constexpr double GROUND_KNOTS = 40.0;
}  // namespace

// The AI aircraft into the airborne and ground tables, as the simulator
// keeps them: 40-byte slots of id, position, heading and speed, identifier.
bool RefreshTraffic(FgProps& props, OffsetSpace& view) {
  std::vector<std::string> children;
  if (!props.List("/ai/models", children, 5000)) return false;
  static const char* const FIELDS[] = {"id", "callsign", "position/latitude-deg", "position/longitude-deg",
                                       "position/altitude-ft", "orientation/true-heading-deg",
                                       "velocities/true-airspeed-kt", "valid"};
  std::vector<std::string> paths;
  std::vector<std::string> aircraft;
  // Every kind of AI model that flies (ships, carriers and the weather do not).
  static const char* const FLYING[] = {"aircraft", "multiplayer", "tanker", "wingman", "escort"};
  for (const std::string& child : children) {
    const std::string kind = child.substr(0, child.find('['));
    if (std::find(std::begin(FLYING), std::end(FLYING), kind) == std::end(FLYING)) continue;
    aircraft.push_back(child);
    for (const char* field : FIELDS) paths.push_back("/ai/models/" + child + "/" + field);
  }
  std::vector<std::string> values;
  if (!paths.empty() && !props.GetAll(paths, values, 5000)) return false;
  std::vector<uint8_t> air(SLOTS * SLOT_SIZE, 0), ground(SLOTS * SLOT_SIZE, 0);
  uint32_t inAir = 0, onGround = 0;
  for (size_t a = 0; a < aircraft.size(); ++a) {
    const std::string* v = &values[a * std::size(FIELDS)];
    if (v[7] == "false" || v[7] == "0") continue;
    const double knots = std::strtod(v[6].c_str(), nullptr);
    const bool isGround = knots < GROUND_KNOTS;
    uint32_t& used = isGround ? onGround : inAir;
    if (used >= SLOTS) continue;
    uint8_t* slot = (isGround ? ground : air).data() + used++ * SLOT_SIZE;
    // Ids 0 and 1 mark empty slots: FlightGear's own ids start above them.
    PutU32(slot + TrafficSlotField::ObjectId, static_cast<uint32_t>(std::strtoul(v[0].c_str(), nullptr, 10)) + 2);
    PutF32(slot + TrafficSlotField::Latitude, static_cast<float>(std::strtod(v[2].c_str(), nullptr)));
    PutF32(slot + TrafficSlotField::Longitude, static_cast<float>(std::strtod(v[3].c_str(), nullptr)));
    PutF32(slot + TrafficSlotField::Altitude, static_cast<float>(std::strtod(v[4].c_str(), nullptr)));
    double heading = std::fmod(std::strtod(v[5].c_str(), nullptr), 360.0);
    if (heading < 0) heading += 360.0;
    PutU16(slot + TrafficSlotField::Heading, static_cast<uint16_t>(heading / 360.0 * 65536.0));
    PutU16(slot + TrafficSlotField::GroundSpeed, static_cast<uint16_t>(knots < 0 ? 0 : knots > 65535 ? 65535 : knots));
    std::strncpy(reinterpret_cast<char*>(slot + TrafficSlotField::Ident), v[1].c_str(), SLOT_SIZE - TrafficSlotField::Ident - 1);
  }
  view.Write(AIR_TRAFFIC_OFFSET, air.data(), static_cast<uint32_t>(air.size()));
  view.Write(GROUND_TRAFFIC_OFFSET, ground.data(), static_cast<uint32_t>(ground.size()));
  return true;
}

// The route manager's route as a flight-plan file, written again whenever
// it changes; its path where the node reads it (empty: no route).
bool RefreshRoute(FgProps& props, OffsetSpace& view, const std::string& plans) {
  static std::string written;
  const std::string base = "/autopilot/route-manager/";
  std::vector<std::string> head;
  if (!props.GetAll({base + "route/num", base + "departure/airport", base + "destination/airport",
                     base + "cruise/altitude-ft"},
                    head, 5000)) {
    return false;
  }
  const long count = std::strtol(head[0].c_str(), nullptr, 10);
  Route route;
  route.departure = head[1];
  route.destination = head[2];
  route.cruiseFeet = std::strtod(head[3].c_str(), nullptr);
  std::vector<std::string> paths;
  for (long i = 0; i < count && i < 200; ++i) {
    const std::string wp = base + "route/wp[" + std::to_string(i) + "]/";
    for (const char* field : {"id", "latitude-deg", "longitude-deg", "altitude-ft"}) paths.push_back(wp + field);
  }
  std::vector<std::string> values;
  if (!paths.empty() && !props.GetAll(paths, values, 5000)) return false;
  for (size_t i = 0; i + 3 < values.size(); i += 4) {
    route.waypoints.push_back({values[i], std::strtod(values[i + 1].c_str(), nullptr),
                               std::strtod(values[i + 2].c_str(), nullptr), std::strtod(values[i + 3].c_str(), nullptr)});
  }
  const std::string text = route.waypoints.empty() ? "" : FlightPlanText(route);
  if (text == written) return true;
  written = text;
  char path[FLIGHT_PLAN_PATH_SIZE] = {};
  if (!text.empty()) {
    std::error_code ignored;
    fs::create_directories(plans, ignored);
    const fs::path file = fs::absolute(fs::path(plans) / "route.pln");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    CopyText(path, file.string());
    BridgeSay("Route of " + std::to_string(route.waypoints.size()) + " waypoints written to " + file.string() + "\n");
  }
  view.Write(FLIGHT_PLAN_PATH_OFFSET, reinterpret_cast<const uint8_t*>(path), FLIGHT_PLAN_PATH_SIZE);
  return true;
}
