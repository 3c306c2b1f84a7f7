#pragma once
// The process itself: start-up in its fixed order, the worker threads, the
// main thread's connection loop and the ways the process ends.

// Runs the node from its command line; never returns.
[[noreturn]] void RunNode(int argc, char** argv);

// One pass of the main loop: connects to the simulator while the link is
// down, else checks the hot-key slot.
void ConnectStep();

// The main thread's loop after start-up.
[[noreturn]] void MainLoop();
