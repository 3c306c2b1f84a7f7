#pragma once
// What every fuzz target needs before its first input: no console output,
// no log file (the process works in a directory that no longer exists, so
// the log switches itself off), and no successor process from a restart.

#include <cstdint>

// Call from LLVMFuzzerInitialize with its arguments.
void PrepareFuzzProcess(int* argc, char*** argv);

class InProcessTransport;

// The simulator link opened to an in-process server whose offsets the
// node's writes change.
InProcessTransport& ConnectInProcessSimulator();
