#pragma once
// A simple aircraft for the stand-in simulator: it circles over Puget Sound
// so that the node's blocks change over time, with a few other aircraft in
// the air and on the ground around it.

#include <string>

#include "ipc/server.h"

// Offsets and values a connecting client expects from the start.
void InitialiseOffsets(OffsetSpace& space, const std::string& flightPlanPath);

// Moves everything on by the elapsed seconds.
void AdvanceFlight(OffsetSpace& space, double seconds);
