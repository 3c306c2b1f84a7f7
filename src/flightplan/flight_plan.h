#pragma once
// The node's current flight plan: read from the XML file whose path the
// simulator reports, whenever that file is new or has been written again.

#include <cstdint>

#include "process/char_source.h"

inline constexpr int32_t MAX_FP_POINTS = 30;
inline constexpr int64_t PLAN_REFRESH_SECONDS = 10;
// Far more than any plan of 30 waypoints; a larger file is no plan.
inline constexpr uint64_t MAX_PLAN_FILE_BYTES = 1 << 20;

// Waypoint type codes.
inline constexpr uint16_t WAYPOINT_AIRPORT = 2;
inline constexpr uint16_t WAYPOINT_FIX = 1;        // intersection, user
inline constexpr uint16_t WAYPOINT_NAVAID = 30;    // VOR, NDB
inline constexpr uint16_t WAYPOINT_OTHER = 0;

struct FlightPlanWaypoint {
  double Latitude;   // degrees, north positive
  double Longitude;  // degrees, east positive
  uint16_t WaypointType;
  char Ident[10];
};

struct FlightPlanBlockRecord {
  double CruiseAlt;
  uint32_t WaypointCount;
  uint32_t PlanSerial;
  FlightPlanWaypoint Waypoints[MAX_FP_POINTS];
  char Title[40];
};
static_assert(sizeof(FlightPlanBlockRecord) == 1016, "the record the start-up banner reports");

struct FlightPlanWatchRecord {
  uint64_t PlanFileTime = 0;
  uint32_t PlanSerialCounter = 0;
  int64_t PlanStampTime = 0;
  bool FlightPlanLoaded = false;
  char LoadedPlanPath[257] = "";
};

extern FlightPlanBlockRecord FlightPlanBlock;
extern FlightPlanWatchRecord FlightPlanWatch;

// Once per polling step, with the path the simulator reports (empty: no
// plan): imports the file when it is new or has been written since it was
// last looked at.
void CheckFlightPlan(const char* reportedPath);

// Reads a plan into FlightPlanBlock: the number of waypoints, or 0 when the
// import failed or found none.
int32_t ImportFlightPlan(CharSource& file);

// The waypoint type code of an ATCWaypointType value (lower case).
uint16_t WaypointTypeCode(const char* value);
