#pragma once
// The node's connection to the simulator: whether the link is usable, and
// the guarded single reads and writes the rest of the node uses, each made
// under the link's "FSUIPC" lock.

#include <atomic>
#include <cstdint>
#include <string>

extern std::atomic<bool> SimConnected;
// Set when "Simulator disconnected" has been printed; whoever opens the link
// next says "Connected to simulator" and clears it, so that no announced
// loss is left unanswered on the console.
extern std::atomic<bool> SimLossAnnounced;

// Start-up: registers the link's lock and drops any link.
void InitSimulatorLink();

// 0: the link is open; 1: it could not be opened. whileHeld, when given,
// runs on the fresh link before the lock is let go, so that no other
// thread's exchange comes first (the hot key's installation).
uint32_t FSUIPCConnect(void (*whileHeld)() = nullptr);
void FSUIPCClose();

// 1 when the bytes were read or written in one exchange, else 0 (at once
// while the link is down).
uint32_t FSUIPCRead(uint32_t offset, uint32_t size, void* destination);
uint32_t FSUIPCWrite(uint32_t offset, uint32_t size, const void* source);

// A one-byte write for which no exchange is spent: it travels with the next
// exchange any thread makes (several a second while the link is up). Dropped
// while the link is down, as FSUIPCWrite would fail then.
void FSUIPCWriteAlong(uint32_t offset, uint8_t value);

// Writes of one thread gathered into as few exchanges as their order allows
// (the items of one incoming data message). While a batch is open on the
// calling thread, FSUIPCWrite queues its bytes and gives 1; FSUIPCRead sends
// what is queued together with its own read, in one exchange, so that it
// reads what the earlier writes wrote; CloseWriteBatch sends the rest. The
// simulator sees the same writes and reads in the same order. A batch's
// writes are posted (PostBatch): while a list is out or held for a frame's
// end they join it, and the caller goes on without waiting for them.
// They nest: only the outermost close sends.
void OpenWriteBatch();
void CloseWriteBatch();

// Why the last connect could not open the link, in words for the operator
// (the versions found where they did not do); empty when it could.
std::string SimulatorProblem();

// A read from the simulator failed: closes the link (once) so that the main
// loop reconnects, and says so.
void SimNotResponding();
