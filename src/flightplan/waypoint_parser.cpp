#include "flightplan/waypoint_parser.h"

#include <cstdlib>
#include <cstring>

#include "flightplan/flight_plan_block.h"
#include "flightplan/xml_scanner.h"
#include "process/log.h"
#include "process/text.h"

namespace {

constexpr size_t LOCAL_BUFFER = 200;
constexpr size_t NUMBER_BUFFER = 32;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Copies a run of the accepted characters (cut at the number buffer) and
// returns where the run stopped.
const char* CopyNumber(const char* p, bool withPoints, char (&number)[NUMBER_BUFFER]) {
  size_t length = 0;
  for (; IsDigit(*p) || (withPoints && *p == '.'); ++p) {
    if (length < NUMBER_BUFFER - 1) number[length++] = *p;
  }
  number[length] = '\0';
  return p;
}

const char* SkipNonDigits(const char* p) {
  while (*p != '\0' && !IsDigit(*p)) ++p;
  return p;
}

}  // namespace

void BlanksToDashes(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text == ' ') *text = '-';
  }
}

const char* ParseDms(const char* text, double& result) {
  char number[NUMBER_BUFFER];
  const char* p = CopyNumber(text, false, number);
  if (*p == '\0') return nullptr;
  result = std::strtod(number, nullptr);
  p = CopyNumber(SkipNonDigits(p), true, number);
  if (*p == '\0') return nullptr;
  result += std::strtod(number, nullptr) / 60.0;
  p = CopyNumber(SkipNonDigits(p), true, number);
  if (*p == '\0') return nullptr;
  result += std::strtod(number, nullptr) / 3600.0;
  return p;
}

bool ParseWorldPosition(int32_t entry, const char* text) {
  if (entry < 0 || entry >= MAX_FP_POINTS) return false;
  bool south = text[0] == 'S';
  if (text[0] != 'N' && !south) return false;
  double latitude = 0;
  // Without a latitude there is no place to find the longitude's letter.
  const char* p = ParseDms(text + 1, latitude);
  if (p == nullptr) return false;
  FlightPlanWaypoint& waypoint = FlightPlanBlock.Waypoints[entry];
  waypoint.Latitude = south ? -latitude : latitude;
  // After the seconds: a quotation mark, a comma, then the hemisphere.
  if (p[1] == '\0') return false;
  bool west = p[2] == 'W';
  if (p[2] != 'E' && !west) return false;
  double longitude = 0;
  if (ParseDms(p + 3, longitude) == nullptr) return false;  // an incomplete longitude is not stored
  waypoint.Longitude = west ? -longitude : longitude;
  return true;
}

bool ParseWaypoint(CharSource& file, int32_t lastIndex, const char* text) {
  while (*text == ' ') ++text;
  if (std::strncmp(text, "id=", 3) != 0) {
    Log("ParseWaypoint() - Failed to find ID\n");
    return false;
  }
  char local[LOCAL_BUFFER];
  const char* p = text[3] == '\0' ? text + 3 : text + 4;  // past id= and the opening quotation mark
  size_t length = 0;
  for (; *p != '"' && *p != '\0'; ++p) {
    if (length == LOCAL_BUFFER - 1) {
      LogFormat("ParseWaypoint() - Local buffer size exceeded: %d\n", static_cast<int>(LOCAL_BUFFER));
      return false;
    }
    local[length++] = *p;
  }
  if (*p == '\0') {
    Log("ParseWaypoint() - Unexpected end of string encountered\n");
    return false;
  }
  local[length] = '\0';
  BlanksToDashes(local);

  int32_t entry = lastIndex + 1;
  if (entry >= MAX_FP_POINTS) {
    LogFormat("Maximum of %d points exceeded. \nCannot import this flight plan.", MAX_FP_POINTS);
    return false;
  }
  CopyText(FlightPlanBlock.Waypoints[entry].Ident, local);

  for (;;) {
    if (!GetXMLId(file, local, LOCAL_BUFFER)) return false;
    if (std::strcmp(local, "ATCWaypointType") == 0) {
      if (!GetXMLValue(file, local)) {
        Log("Attempt to get ATCWayPointType value failed\n");
        return false;
      }
      // Plans usually give the type before the position; it is kept too.
      LowerCase(local);
      FlightPlanBlock.Waypoints[entry].WaypointType = WaypointTypeCode(local);
    } else if (std::strcmp(local, "WorldPosition") == 0) {
      if (!GetXMLValue(file, local)) return false;
      return ParseWorldPosition(entry, local);
    }
  }
}

uint16_t WaypointTypeCode(const char* value) {
  struct TypeName {
    const char* name;
    uint16_t code;
  };
  static constexpr TypeName TYPES[] = {{"airport", WAYPOINT_AIRPORT}, {"intersection", WAYPOINT_FIX},
                                       {"user", WAYPOINT_FIX},        {"vor", WAYPOINT_NAVAID},
                                       {"ndb", WAYPOINT_NAVAID}};
  for (const TypeName& type : TYPES) {
    if (std::strcmp(value, type.name) == 0) return type.code;
  }
  return WAYPOINT_OTHER;
}
