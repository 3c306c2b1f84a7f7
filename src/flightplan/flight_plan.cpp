#include "flightplan/flight_plan.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "flightplan/waypoint_parser.h"
#include "flightplan/xml_scanner.h"
#include "platform/platform.h"
#include "process/log.h"
#include "process/print.h"
#include "process/text.h"
#include "record/recorder.h"

FlightPlanBlockRecord FlightPlanBlock{};
FlightPlanWatchRecord FlightPlanWatch;

namespace {
constexpr size_t TAG_BUFFER = 80;
}

int32_t ImportFlightPlan(CharSource& file) {
  char tag[TAG_BUFFER];
  int32_t last = -1;  // index of the last waypoint read
  for (;;) {
    if (!GetXMLId(file, tag, TAG_BUFFER)) break;
    // The tests run one after the other on the same buffer, which a value
    // read overwrites.
    if (std::strcmp(tag, "Title") == 0) {
      if (!GetXMLValue(file, tag)) {
        Log("GetXMLValue() returned error trying to get Title\n");
        return 0;
      }
      CopyText(FlightPlanBlock.Title, tag);
    }
    if (std::strcmp(tag, "ATCWaypointType") == 0) {
      if (!GetXMLValue(file, tag)) {
        Log("GetXMLValue() returned error trying to get ATCWaypointType\n");
        return 0;
      }
      LowerCase(tag);
      // Only a waypoint that has an entry takes a type.
      if (last >= 0 && last < MAX_FP_POINTS) FlightPlanBlock.Waypoints[last].WaypointType = WaypointTypeCode(tag);
    }
    if (std::strcmp(tag, "CruisingAlt") == 0) {
      if (!GetXMLValue(file, tag)) {
        Log("GetXMLValue() returned error trying to get Altitude\n");
        return 0;
      }
      FlightPlanBlock.CruiseAlt = LeadingDecimal(tag);
    } else if (std::strncmp(tag, "ATCWaypoint", 11) == 0) {
      if (!ParseWaypoint(file, last, tag + 11)) {
        LogFormat("ImportFlightPlan() - ParseWaypoint() - returned error: %s\n", tag);
      }
      ++last;
    }
  }
  // Waypoints past the thirtieth are refused; the plan keeps the first 30.
  return last + 1 < MAX_FP_POINTS ? last + 1 : MAX_FP_POINTS;
}

namespace {
// The file as the import read it, for a replay to serve wherever it runs.
void RecordPlanFile(std::FILE* file, const char* path) {
  std::string content;
  char part[4096];
  // The bytes as they are: the import read the file as text.
  std::rewind(file);
  platform::ReadAsBytes(file);
  for (size_t got; content.size() < MAX_PLAN_FILE_BYTES && (got = std::fread(part, 1, sizeof part, file)) > 0;) {
    content.append(part, std::min<size_t>(got, MAX_PLAN_FILE_BYTES - content.size()));
  }
  RecordPlan(path, content);
}
}  // namespace

void CheckFlightPlan(const char* reportedPath) {
  if (reportedPath[0] == '\0') {
    FlightPlanWatch.FlightPlanLoaded = false;
    return;
  }
  const char* path = reportedPath;
  uint64_t writeTime = 0;
  if (!platform::FileLastWriteTime(path, writeTime)) return;
  int64_t now = platform::CalendarSeconds();
  if (writeTime == FlightPlanWatch.PlanFileTime) {
    if (now > FlightPlanWatch.PlanStampTime + PLAN_REFRESH_SECONDS) {
      FlightPlanBlock.PlanSerial = FlightPlanWatch.PlanSerialCounter;
      FlightPlanWatch.PlanStampTime = now;
    }
    return;
  }
  // Noted before the import: a file that fails is tried again only when it
  // is written again.
  FlightPlanWatch.PlanFileTime = writeTime;
  // Only a regular file: a device or a FIFO would hold the polling thread
  // for good, and with it the blocks.
  platform::FileOpenResult opened = platform::FileOpenResult::Failed;
  uint64_t size = 0;
  std::FILE* file = platform::OpenRegularFile(path, MAX_PLAN_FILE_BYTES, opened, size);
  if (file == nullptr) {
    if (opened == platform::FileOpenResult::TooLarge) {
      char line[400];
      FormatText(line, sizeof line, "CheckFlightPlan() - %llu bytes is too large for a flight plan: %s\n",
                 static_cast<unsigned long long>(size), path);
      Print(line);
      Log(line);
    } else {
      PrintFormat("Can't open: %s\n", path);
    }
    FlightPlanWatch.FlightPlanLoaded = false;
    return;
  }
  FileCharSource source(file, MAX_PLAN_FILE_BYTES);
  int32_t count = ImportFlightPlan(source);
  if (RecordingActive()) RecordPlanFile(file, path);
  if (count != 0) {
    FlightPlanBlock.PlanSerial = ++FlightPlanWatch.PlanSerialCounter;
    FlightPlanBlock.WaypointCount = static_cast<uint32_t>(count);
    CopyText(FlightPlanWatch.LoadedPlanPath, path);
    FlightPlanWatch.FlightPlanLoaded = true;
    FlightPlanWatch.PlanStampTime = now;
    LogFormat("CheckFlightPlan() - Flight plan \"%s\" loaded: %d waypoints\n", FlightPlanBlock.Title, count);
  }
  std::fclose(file);
}
