#pragma once
// The operator's keys: two diagnostic displays switched on and off while
// the node runs.

#include <atomic>

extern std::atomic<bool> showFlaps;

// Acts on one key press.
void HandleConsoleKey(int key);

// The console thread: reads keys for ever; once the input has ended it
// waits quietly for the end of the process.
[[noreturn]] void ConsoleLoop();
