#pragma once
// The current flight plan as the node holds it: title, cruising altitude
// and up to 30 waypoints, filled by the import and its waypoint parser.

#include <cstdint>

inline constexpr int32_t MAX_FP_POINTS = 30;

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

extern FlightPlanBlockRecord FlightPlanBlock;
