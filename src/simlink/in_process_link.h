#pragma once
// The node's link opened to a simulator served in this process (tests,
// fuzzing, benchmarks).

#include <cstdint>

#include "ipc/inprocess_transport.h"

// Gives the server the versions a simulator reports, makes it the link's
// transport and connects as the main loop does; the result is that of
// FSUIPCConnect (0: connected).
uint32_t ConnectInProcess(InProcessTransport& server);
