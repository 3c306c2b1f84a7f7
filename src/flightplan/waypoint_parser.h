#pragma once
// Waypoints and positions of a flight-plan file.

#include <cstdint>

#include "process/char_source.h"

// Reads one ATCWaypoint element (text: what follows "ATCWaypoint" in its
// tag) into entry lastIndex + 1, up to and including its WorldPosition.
bool ParseWaypoint(CharSource& file, int32_t lastIndex, const char* text);

// A position such as N47° 26' 56.00",W122° 18' 34.00",+000432.00 into the
// latitude and longitude of the entry.
bool ParseWorldPosition(int32_t entry, const char* text);

// Degrees, minutes and seconds into decimal degrees; the position just after
// the seconds, or nullptr when the text ended first.
const char* ParseDms(const char* text, double& result);

void BlanksToDashes(char* text);

// The waypoint type code of an ATCWaypointType value (lower case).
uint16_t WaypointTypeCode(const char* value);
