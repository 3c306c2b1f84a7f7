#include "simlink/hot_keys.h"

#include "ipc/batch.h"
#include "ipc/link.h"
#include "platform/platform.h"
#include "process/print.h"
#include "process/settings.h"
#include "simlink/sim_connection.h"

std::atomic<uint32_t> TabKeySlot{0};

namespace {
// The key character the last Block 3 batch found in the slot, for TestKey
// (slot offset << 8 | character; 0: none since TestKey last looked).
std::atomic<uint64_t> keySeen{0};
std::atomic<bool> initKeyMessagePrinted{false};
}  // namespace

bool InstallTabKey() {
  // With no hot key configured nothing is installed, and TestKey leaves the
  // link alone instead of re-initialising it every second.
  if (Settings.hotKeyChar == 0) return true;
  if (TabKeySlot != 0) {
    if (Settings.debugKeys) Print("TAB Key is already installed\n");
    return true;
  }
  TabKeySlot = InstallHotKey(TAB_KEY, TAB_SECOND_BYTE);
  if (TabKeySlot == 0) {
    if (Settings.debugKeys) Print("Failed to install TAB KEY\n");
    return false;
  }
  return true;
}

void InstallTabKeyOnConnect() {
  platform::SleepMs(100);
  if (!InstallTabKey() && !initKeyMessagePrinted.exchange(true)) Print("Init Key failed\n");
}

uint32_t InstallHotKey(uint8_t key, uint8_t secondByte) {
  if (!SimConnected) return 0;
  // The whole slot area in one exchange rather than one per slot.
  uint8_t area[HOT_KEY_SLOTS * 4] = {};
  uint32_t code = 0;
  if (!IpcQueueRead(HOT_KEY_AREA, sizeof area, area, code) || !IpcProcess(code)) {
    IpcDropQueued();
    return 0;  // no answer: no slot can be trusted to be free
  }
  for (uint32_t n = 0; n < HOT_KEY_SLOTS; ++n) {
    uint32_t slot = HOT_KEY_AREA + 4 * n;
    uint8_t character = area[4 * n];
    if (Settings.debugKeys) {
      PrintFormat("Key Entry Adr: %0x\n", slot);
      PrintFormat("Key    Slot #: %d   Val: %d\n", n, character);
    }
    if (character == 0) {
      const uint8_t entry[4] = {key, secondByte, 0, 0};
      for (uint32_t i = 0; i < 4; ++i) IpcQueueWrite(slot + i, 1, &entry[i], code);
      IpcProcess(code);
      return slot;
    }
  }
  return 0;
}

bool QueueSlotReads(IpcBatch& batch, SlotReads& reads) {
  reads = SlotReads{};
  reads.slot = TabKeySlot;
  if (!SimConnected || reads.slot == 0) return false;
  return batch.Read(reads.slot, 1, &reads.key) && batch.Read(reads.slot + 3, 1, &reads.press);
}

uint8_t TakePress(const SlotReads& reads) {
  keySeen = (static_cast<uint64_t>(reads.slot) << 8) | reads.key | (1ULL << 63);
  const uint8_t cleared = 0;
  if (reads.press != 0) FSUIPCWrite(reads.slot + 3, 1, &cleared);
  return reads.press == 1 ? 0 : reads.press;
}

void TestKey() {
  if (!SimConnected || Settings.hotKeyChar == 0) return;
  if (TabKeySlot == 0) {
    Print("TestKey() - Slot Address = 0\n");
    Print("Initializing keys\n");
    if (!GetResource(FsuipcLock, "TestKey()")) return;
    InstallTabKey();
    ReleaseResource(FsuipcLock, "TestKey()");
    return;
  }
  // The Block 3 batch read the slot since the last pass, as a rule; only
  // without a fresh reading of this slot is one exchange spent here.
  uint64_t seen = keySeen.exchange(0);
  uint32_t slot = TabKeySlot;
  uint8_t character = 0;
  if (seen != 0 && static_cast<uint32_t>((seen >> 8) & 0xFFFFFFFF) == slot) {
    character = static_cast<uint8_t>(seen & 0xFF);
  } else {
    FSUIPCRead(slot, 1, &character);  // a failed read counts as the byte 0
  }
  // A link lost meanwhile is the main loop's to reconnect (and to announce).
  if (character == Settings.hotKeyChar || !SimConnected) return;

  if (Settings.debugKeys) {
    Print("TestKey() - Key Char not found\n");
    Print("Re-Initializing keys\n");
  }
  platform::SleepMs(100);
  if (GetResource(FsuipcLock, "TestKey(1)")) ReleaseResource(FsuipcLock, "TestKey(1)");
  FSUIPCClose();
  platform::SleepMs(100);
  // The polling loop may have declared the simulator lost meanwhile (even
  // while this close waited): a link that comes back here is then announced
  // as the main loop would.
  if (FSUIPCConnect(InstallTabKeyOnConnect) == 0 && SimLossAnnounced.exchange(false)) Print("Connected to simulator\n");
  platform::SleepMs(100);
  if (!GetResource(FsuipcLock, "TestKey(2)")) return;
  TabKeySlot = 0;
  InstallTabKey();
  ReleaseResource(FsuipcLock, "TestKey(2)");
}
