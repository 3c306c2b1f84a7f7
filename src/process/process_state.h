#pragma once
// What the process knows about itself: where it came from and whether it
// has been asked to end.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct ProcessStateRecord {
  int32_t restartCount = 0;
  char programPath[500] = "";
  bool isRestart = false;
  std::atomic<bool> quitRequested{false};
};

extern ProcessStateRecord ProcessState;

// Sets quitRequested and wakes whoever waits for it.
void RequestQuit();
// Waits up to the time given for quitRequested; true when it is set.
bool WaitForQuit(uint32_t milliseconds);

// Reads the program path and, from exactly three arguments, the restart
// count (the second argument, the marker, is not examined).
void ParseCommandLine(const std::vector<std::string>& arguments);
