#pragma once
// The traffic flags the other subsystems see.

#include <atomic>
#include <cstdint>

// Ground traffic is transferred only while this is 0; the network sets it
// through the variable database. Starts closed (-1).
extern std::atomic<int32_t> groundTrafficGate;
