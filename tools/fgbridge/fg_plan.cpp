#include "fg_plan.h"

#include <cmath>
#include <cstdio>

namespace {

// Degrees, minutes and seconds with two decimals, the hemisphere first.
std::string Angle(double degrees, char positive, char negative) {
  const char hemisphere = degrees < 0 ? negative : positive;
  double rest = std::fabs(degrees);
  int whole = static_cast<int>(rest);
  rest = (rest - whole) * 60.0;
  int minutes = static_cast<int>(rest);
  double seconds = std::round((rest - minutes) * 60.0 * 100.0) / 100.0;
  if (seconds >= 60.0) {
    seconds -= 60.0;
    if (++minutes == 60) {
      minutes = 0;
      ++whole;
    }
  }
  char text[48];
  std::snprintf(text, sizeof text, "%c%d\xC2\xB0 %d' %.2f\"", hemisphere, whole, minutes, seconds);
  return text;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '<' || c == '>' || c == '&' || c == '"') continue;  // ids and titles need none of them
    out += c;
  }
  return out;
}

}  // namespace

std::string WorldPosition(double latitude, double longitude, double altitudeFeet) {
  char altitude[24];
  std::snprintf(altitude, sizeof altitude, "%+010.2f", altitudeFeet);
  return Angle(latitude, 'N', 'S') + "," + Angle(longitude, 'E', 'W') + "," + altitude;
}

std::string FlightPlanText(const Route& route) {
  const std::string title = route.departure.empty() && route.destination.empty()
                                ? "FlightGear route"
                                : Escaped(route.departure) + " to " + Escaped(route.destination);
  char cruise[24];
  std::snprintf(cruise, sizeof cruise, "%.0f", route.cruiseFeet);
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<FlightPlanDocument version=\"1\">\n"
                     "    <FlightPlan.FlightPlan>\n"
                     "        <Title>" + title + "</Title>\n"
                     "        <CruisingAlt>" + cruise + "</CruisingAlt>\n";
  for (const RouteWaypoint& waypoint : route.waypoints) {
    const bool airport = waypoint.id == route.departure || waypoint.id == route.destination;
    text += "        <ATCWaypoint id=\"" + Escaped(waypoint.id) + "\">\n"
            "            <ATCWaypointType>" + (airport ? "Airport" : "Intersection") + "</ATCWaypointType>\n"
            "            <WorldPosition>" + WorldPosition(waypoint.latitude, waypoint.longitude, waypoint.altitudeFeet) +
            "</WorldPosition>\n"
            "        </ATCWaypoint>\n";
  }
  text += "    </FlightPlan.FlightPlan>\n</FlightPlanDocument>\n";
  return text;
}
