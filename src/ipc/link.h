#pragma once
// The client side of the simulator's request-list protocol: requests are
// queued into one shared view and executed in one exchange. One link per
// process; callers hold the link's "FSUIPC" lock around each batch.

#include <array>
#include <cstdint>

#include "ipc/protocol.h"
#include "ipc/transport.h"
#include "process/resource.h"

// The protocol's waits; tests shorten them, the node keeps these.
struct IpcTimingRecord {
  uint32_t sendTimeoutMs = 2000;
  uint32_t sendAttempts = 9;
  uint32_t retrySleepMs = 100;
  uint32_t handshakeTries = 5;
  uint32_t handshakeSleepMs = 100;
};
extern IpcTimingRecord IpcTiming;

// The "FSUIPC" lock: one list at a time is built in the one view, so every
// exchange over the link, and its opening and closing, is made under it.
extern ResourceHandle FsuipcLock;
// Registers the lock, once per process (start-up does, before any thread).
void RegisterLinkLock();

struct IpcReadRequest {
  void* destination;
  uint32_t size;
};

struct IpcLinkRecord {
  IpcTransport* transport = nullptr;  // the one in use while open
  uint8_t* view = nullptr;            // non-null: the link is open
  uint32_t cursor = 0;                // where the next record goes, from the view's start
  uint32_t serverVersion = 0;
  uint32_t simulatorVersion = 0;
  uint32_t openCounter = 0;
  uint32_t lastOpenCode = 0;  // the IpcResult of the last IpcOpen: why the link is not open
  // Set when a list could not be delivered at all: the link is dead, and
  // the lists other threads queue behind it fail at once (SendFailed) instead
  // of each spending every attempt again, until the link is opened anew.
  bool broken = false;
  // A read's destination field holds its number here: destinations are
  // 64-bit, the field is 32.
  std::array<IpcReadRequest, IPC_MAX_READS> reads{};
  uint32_t readCount = 0;
};
extern IpcLinkRecord IpcLink;

bool IpcOpen(uint32_t& code);
void IpcClose();
bool IpcQueueRead(uint32_t offset, uint32_t size, void* destination, uint32_t& code);
bool IpcQueueWrite(uint32_t offset, uint32_t size, const void* source, uint32_t& code);
bool IpcProcess(uint32_t& code);

// Lists sent to the simulator since the process started.
uint64_t IpcListsSent();

// A one-byte write that travels at the end of the next list anyone sends,
// instead of costing an exchange of its own; a newer one replaces one not
// yet sent. Needs no lock.
void IpcWriteAlong(uint32_t offset, uint8_t value);

// A whole list as another client built it (the bridge's), executed over the
// open link as it stands and copied back as the server left it; answer is
// the server's. False, with the link's code, when it could not be delivered.
// The caller holds the link alone; nothing of its own list is touched.
bool IpcExecuteList(uint8_t* list, uint32_t length, uint32_t& answer, uint32_t& code);

// Empties the list without sending it: a batch that could not be queued
// whole must not leave requests behind whose destinations will be gone.
void IpcDropQueued();

// Copies the results of an executed list to the queued destinations. False,
// with nothing copied, when the list does not hold exactly the reads that
// were queued (IpcProcess then fails with ResultsMismatch).
bool IpcCopyResults(const uint8_t* list, uint32_t length);

// The transport the next open uses: the one set here (tests), else the one
// the settings and the platform choose.
void SetIpcTransport(IpcTransport* transport);
IpcTransport* SelectIpcTransport();
