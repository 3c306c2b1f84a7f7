#pragma once
// The simulator polling loop and its senders.

// A read from the simulator failed: closes the link (once) so that the main
// loop reconnects, and says so.
void SimNotResponding();
