#pragma once
// The two ways out of trouble: a fatal exit with a code after telling the
// user, and a restart as a fresh process with the next restart count.

#include <cstdint>
#include <string>

#include "process/exit_codes.h"

inline constexpr int32_t MAX_RESTARTS = 3;

[[noreturn]] void FatalExit(ExitCode::Code exitCode);

// The tag that names a station of the cockpit network ("SIM: " for node 14).
const char* StationTag(int32_t nodeId);

// Waits for Enter on the console, then ends the process with 100.
[[noreturn]] void PressEnterExit();

// Asks for a successor with the next count and asks this process to end
// (the main loop then hands over to it); at the limit, ends this process
// with 100 instead. Acts once per process: a second call while this one is
// on its way out changes nothing.
void Restart();

// The successor's command line: the program (quoted when it holds blanks),
// " -rx" and " <count> ".
std::string RestartCommandLine(const char* programPath, int32_t count);
