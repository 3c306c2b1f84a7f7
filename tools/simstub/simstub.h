#pragma once
// simstub's parts: its options and servers (main.cpp) and the commands on
// its standard input (commands.cpp), over one offset space.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "common/commands.h"
#include "ipc/server.h"

extern OffsetSpace space;
// Set: no client's list is answered until it is cleared.
extern std::atomic<bool> stalled;
// Cleared: the aircraft stands still.
extern std::atomic<bool> flying;
// The clients' writes, counted per offset.
extern std::mutex countLock;
extern std::map<uint32_t, uint64_t> writesAt;

extern const std::vector<ToolCommand> COMMANDS;
