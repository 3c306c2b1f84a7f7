#pragma once
// FlightGear's tables in the view, as the simulator keeps them: its AI
// aircraft in the traffic tables, its route as a flight-plan file whose
// path the node reads. False when FlightGear did not answer.

#include <string>

#include "fg_props.h"
#include "ipc/server.h"

// The AI aircraft into the airborne and ground tables: 40-byte slots of
// id, position, heading and speed, identifier.
bool RefreshTraffic(FgProps& props, OffsetSpace& view);
// The route manager's route written into the folder as a flight-plan file
// whenever it changes, and its path at 0x0130 (empty: no route).
bool RefreshRoute(FgProps& props, OffsetSpace& view, const std::string& plans);
