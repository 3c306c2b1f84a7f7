#pragma once
// The simulator polling loop: Block 1, 2 and 3 read in turn, each sent to
// the network after a good read, and the loss of the simulator noticed.

#include <atomic>
#include <cstdint>

// The thread body; never returns.
[[noreturn]] void SimPollThread();

// One step of the loop (step 0, 1 or 2): reads its block and hands it on.
void SimPollStep(uint32_t step);

// The block and traffic messages share one sequence: 0 to 999.
uint32_t NextBlockSequence();
// Blocks 1, 2 and 3 sent to ComMgr since the start.
extern std::atomic<uint64_t> BlocksSent;
extern uint32_t BlockSequence;

// The five senders: stamp the record's header, copy it whole into the send
// buffer and hand it to the network (which drops it while not connected).
void SendBlock1();
void SendBlock2();
void SendBlock3();
void SendAirTraffic();
void SendGndTraffic();

// Every sixth step: the ground-traffic message when a transfer is ready,
// else the air-traffic message.
void SimPollTrafficSlot();
