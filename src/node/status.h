#pragma once
// What the operator reads of the node's state besides its own lines: a line
// with the wall-clock time on the console and in the log whenever a peer
// cannot be reached, does not answer, or comes back (once per change, never
// once a second); the console's title; and a status line in the log once a
// minute.

#include <string>

// After each attempt of the main loop to open the simulator link: whether
// it is open, and if not, why (SimulatorProblem).
void ReportSimulatorState(bool connected, const std::string& problem);

// Once a second, on the main thread: ComMgr's state, the title, and the
// status line when its minute is over.
void StatusStep();

// The console title for the two states, as shown (also on POSIX terminals).
std::string StatusTitle(bool simulatorConnected, bool commgrConnected);
