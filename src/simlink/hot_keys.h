#pragma once
// The simulator hot key: TAB registered in one of the simulator's 56 key
// slots, so that a press in the simulator reaches the network in Block 3.
// InstallTabKey and InstallHotKey must be called with the "FSUIPC" lock
// held; TestKey takes it itself.

#include <atomic>
#include <cstdint>

class IpcBatch;

inline constexpr uint32_t HOT_KEY_AREA = 0x3210;
inline constexpr uint32_t HOT_KEY_SLOTS = 56;
inline constexpr uint8_t TAB_KEY = 9;
inline constexpr uint8_t TAB_SECOND_BYTE = 24;

// Offset of the slot that holds the TAB key; 0: not installed.
extern std::atomic<uint32_t> TabKeySlot;

// True when the key is installed (now or before), or when no hot key is
// configured at all.
bool InstallTabKey();
// What a connect does on the fresh link, with the lock still held
// (FSUIPCConnect(InstallTabKeyOnConnect)): a moment for the simulator, then
// the key, and "Init Key failed" the first time it cannot be installed.
void InstallTabKeyOnConnect();
// The offset of the slot filled, 0 when none was free or a read failed.
uint32_t InstallHotKey(uint8_t key, uint8_t secondByte);
// Checks once a second that the slot still holds the key; re-initialises
// link and key when it does not.
void TestKey();
// The slot's key character and press byte travel in the Block 3 batch:
// QueueSlotReads adds their reads (false while no key is installed or the
// link is down). After the exchange TakePress, which needs no lock, hands
// the key character to the next TestKey, clears a press in the simulator
// and gives the value to report (a press byte of 1 is cleared but not
// reported).
struct SlotReads {
  uint32_t slot = 0;
  uint8_t key = 0;
  uint8_t press = 0;
};
bool QueueSlotReads(IpcBatch& batch, SlotReads& reads);
uint8_t TakePress(const SlotReads& reads);
