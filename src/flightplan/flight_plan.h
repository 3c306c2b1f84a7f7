#pragma once
// The node's current flight plan: read from the XML file whose path the
// simulator reports, whenever that file is new or has been written again.

#include <cstdint>

#include "flightplan/flight_plan_block.h"
#include "process/char_source.h"

inline constexpr int64_t PLAN_REFRESH_SECONDS = 10;
// Far more than any plan of 30 waypoints; a larger file is no plan.
inline constexpr uint64_t MAX_PLAN_FILE_BYTES = 1 << 20;

struct FlightPlanWatchRecord {
  uint64_t PlanFileTime = 0;
  uint32_t PlanSerialCounter = 0;
  int64_t PlanStampTime = 0;
  bool FlightPlanLoaded = false;
  char LoadedPlanPath[257] = "";
};

extern FlightPlanWatchRecord FlightPlanWatch;

// Once per polling step, with the path the simulator reports (empty: no
// plan): imports the file when it is new or has been written since it was
// last looked at.
void CheckFlightPlan(const char* reportedPath);

// Reads a plan into FlightPlanBlock: the number of waypoints, or 0 when the
// import failed or found none.
int32_t ImportFlightPlan(CharSource& file);
