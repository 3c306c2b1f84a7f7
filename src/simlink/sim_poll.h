#pragma once
// The simulator polling loop: Block 1, 2 and 3 read in turn, each sent to
// the network after a good read, and the loss of the simulator noticed.

#include <cstdint>

// The thread body; never returns.
[[noreturn]] void SimPollThread();

// One step of the loop (step 0, 1 or 2): reads its block and hands it on.
void SimPollStep(uint32_t step);

// A read from the simulator failed: closes the link (once) so that the main
// loop reconnects, and says so.
void SimNotResponding();
