#include "ipc/link.h"

#include <atomic>
#include <cstring>

#include "ipc/records.h"
#include "ipc/stream_transport.h"
#include "ipc/window_transport.h"
#include "platform/platform.h"
#include "process/settings.h"
#include "record/recorder.h"
#include "wire/bytes.h"

IpcTimingRecord IpcTiming;
IpcLinkRecord IpcLink;
ResourceHandle FsuipcLock = nullptr;

void RegisterLinkLock() {
  if (FsuipcLock == nullptr) FsuipcLock = RegisterResource("FSUIPC");
}

namespace {

IpcTransport* transportOverride = nullptr;

// The write waiting to ride along: its offset and byte, and a mark that it
// is there (0: none).
constexpr uint64_t RIDER_PRESENT = 1ULL << 63;
std::atomic<uint64_t> rider{0};
std::atomic<uint64_t> listsSent{0};

void QueueRider() {
  uint64_t waiting = rider.exchange(0);
  if (waiting == 0) return;
  uint8_t value = static_cast<uint8_t>(waiting & 0xFF);
  uint32_t code = 0;
  if (!IpcQueueWrite(static_cast<uint32_t>(waiting >> 8) & 0xFFFFFFFF, 1, &value, code)) {
    uint64_t none = 0;
    rider.compare_exchange_strong(none, waiting);  // the next list takes it, unless a newer one came
  }
}

constexpr uint32_t TERMINATOR_SIZE = 4;
// The list's byte limit refuses a read before the table of reads is full.
static_assert((IPC_LIST_LIMIT - TERMINATOR_SIZE) / IPC_READ_HEADER < IPC_MAX_READS);

bool Fits(uint32_t header, uint32_t size) {
  return static_cast<uint64_t>(IpcLink.cursor) + header + size + TERMINATOR_SIZE <= IPC_LIST_LIMIT;
}

// One try of the version handshake; false with the failing step's code.
bool HandshakeTry(bool firstTry, uint32_t& code) {
  uint8_t server[4] = {};
  uint8_t simulator[4] = {};
  uint8_t client[2];
  PutU16(client, IPC_CLIENT_VERSION);
  if (!IpcQueueRead(IPC_SERVER_VERSION_OFFSET, 4, server, code)) return false;
  if (!IpcQueueRead(IPC_SIMULATOR_VERSION_OFFSET, 4, simulator, code)) return false;
  if (firstTry && !IpcQueueWrite(IPC_CLIENT_VERSION_OFFSET, 2, client, code)) return false;
  if (!IpcProcess(code)) return false;
  IpcLink.serverVersion = GetU32(server);
  IpcLink.simulatorVersion = GetU32(simulator);
  return true;
}

}  // namespace

void SetIpcTransport(IpcTransport* transport) { transportOverride = transport; }

IpcTransport* SelectIpcTransport() {
  if (transportOverride != nullptr) return transportOverride;
  static StreamTransport stream;
  static WindowTransport window;
  if (Settings.simserver[0] != '\0' || !platform::HasWindowMessaging()) return &stream;
  return &window;
}

namespace {

// Opens the transport and makes the version handshake; false with the
// failing step's code.
bool OpenAndShake(uint32_t& code) {
  if (IpcLink.view != nullptr) {
    code = IpcResult::AlreadyOpen;
    return false;
  }
  IpcLink.serverVersion = 0;
  IpcLink.simulatorVersion = 0;
  IpcLink.transport = SelectIpcTransport();
  uint8_t* view = nullptr;
  code = IpcLink.transport->Open(IpcLink.openCounter, view);
  if (code != IpcResult::Ok) return false;
  IpcLink.view = view;
  IpcLink.cursor = 0;
  IpcLink.readCount = 0;
  IpcLink.broken = false;

  for (uint32_t attempt = 0;
       attempt < IpcTiming.handshakeTries && (IpcLink.serverVersion == 0 || IpcLink.simulatorVersion == 0);
       ++attempt) {
    if (!HandshakeTry(attempt == 0, code)) {
      IpcClose();
      return false;
    }
    platform::SleepMs(IpcTiming.handshakeSleepMs);
  }
  if (IpcLink.serverVersion < IPC_MIN_SERVER_VERSION || (IpcLink.simulatorVersion >> 16) != IPC_CHECK_PATTERN) {
    code = IpcLink.transport->FoundAsLegacyServer() ? IpcResult::LegacyVersionRefused : IpcResult::VersionRefused;
    IpcClose();
    return false;
  }
  IpcLink.simulatorVersion &= 0xFFFF;
  code = IpcResult::Ok;
  return true;
}
}  // namespace

bool IpcOpen(uint32_t& code) {
  const bool open = OpenAndShake(code);
  IpcLink.lastOpenCode = code;
  return open;
}

void IpcClose() {
  rider = 0;  // meant for the link that was open
  if (IpcLink.transport != nullptr) IpcLink.transport->Close();
  IpcLink.view = nullptr;
}

bool IpcQueueRead(uint32_t offset, uint32_t size, void* destination, uint32_t& code) {
  if (IpcLink.view == nullptr) {
    code = IpcResult::NotOpen;
    return false;
  }
  if (!Fits(IPC_READ_HEADER, size)) {
    code = IpcResult::ListFull;
    return false;
  }
  uint8_t* record = IpcLink.view + IpcLink.cursor;
  PutU32(record, IPC_READ_ID);
  PutU32(record + 4, offset);
  PutU32(record + 8, size);
  PutU32(record + 12, IpcLink.readCount);
  std::memset(record + IPC_READ_HEADER, 0, size);
  IpcLink.reads[IpcLink.readCount++] = {destination, size};
  IpcLink.cursor += IPC_READ_HEADER + size;
  code = IpcResult::Ok;
  return true;
}

bool IpcQueueWrite(uint32_t offset, uint32_t size, const void* source, uint32_t& code) {
  if (IpcLink.view == nullptr) {
    code = IpcResult::NotOpen;
    return false;
  }
  if (!Fits(IPC_WRITE_HEADER, size)) {
    code = IpcResult::ListFull;
    return false;
  }
  uint8_t* record = IpcLink.view + IpcLink.cursor;
  PutU32(record, IPC_WRITE_ID);
  PutU32(record + 4, offset);
  PutU32(record + 8, size);
  if (size > 0) std::memcpy(record + IPC_WRITE_HEADER, source, size);
  IpcLink.cursor += IPC_WRITE_HEADER + size;
  code = IpcResult::Ok;
  return true;
}

uint64_t IpcListsSent() { return listsSent.load(); }

void IpcWriteAlong(uint32_t offset, uint8_t value) {
  rider = RIDER_PRESENT | (static_cast<uint64_t>(offset) << 8) | value;
}

void IpcDropQueued() {
  IpcLink.cursor = 0;
  IpcLink.readCount = 0;
}

namespace {

// True when the executed list holds exactly the reads that were queued, in
// their order and sizes, up to its terminator. With copy set, each read's
// bytes go to its destination on the way.
bool WalkResults(const uint8_t* list, uint32_t length, bool copy) {
  uint32_t nextRead = 0;
  uint32_t terminatorAt = 0;
  bool whole = WalkIpcRecords(list, length, terminatorAt, [&](const IpcRecord& record) {
    if (record.id != IPC_READ_ID) return true;
    // The server may only fill what was asked for, where it was asked for.
    if (record.tag != nextRead || record.tag >= IpcLink.readCount || IpcLink.reads[record.tag].size != record.size) {
      return false;
    }
    void* destination = IpcLink.reads[record.tag].destination;
    if (copy && destination != nullptr && record.size != 0) std::memcpy(destination, list + record.dataAt, record.size);
    ++nextRead;
    return true;
  });
  return whole && nextRead == IpcLink.readCount;
}

}  // namespace

bool IpcCopyResults(const uint8_t* list, uint32_t length) {
  // Checked whole before anything is copied: a batch is either wholly
  // delivered or leaves every destination as it was.
  if (!WalkResults(list, length, false)) return false;
  WalkResults(list, length, true);
  return true;
}

namespace {

// The executed list as a recording keeps it: each read with the answer it
// got, each write.
void RecordList(const uint8_t* list, uint32_t length) {
  ExchangeEntry exchange;
  uint32_t terminatorAt = 0;
  WalkIpcRecords(list, length, terminatorAt, [&](const IpcRecord& record) {
    if (record.id == IPC_READ_ID) {
      exchange.Answer(record.offset, list + record.dataAt, record.size);
    } else {
      exchange.Write(record.offset, list + record.dataAt, record.size);
    }
    return true;
  });
  RecordExchange(exchange);
}

// The list in the view, sent with every attempt the link allows; false with
// TimedOut or SendFailed when none was delivered (the link is dead from then on).
bool SendList(uint32_t length, uint32_t& answer, uint32_t& code) {
  IpcAttempt last = IpcAttempt::Failed;
  for (uint32_t attempt = 0; attempt < IpcTiming.sendAttempts; ++attempt) {
    last = IpcLink.transport->SendOnce(IpcLink.view, length, IpcTiming.sendTimeoutMs, answer);
    if (last == IpcAttempt::Delivered) return true;
    platform::SleepMs(IpcTiming.retrySleepMs);
  }
  code = last == IpcAttempt::TimedOut ? IpcResult::TimedOut : IpcResult::SendFailed;
  IpcLink.broken = true;
  return false;
}

}  // namespace

bool IpcExecuteList(uint8_t* list, uint32_t length, uint32_t& answer, uint32_t& code) {
  if (IpcLink.view == nullptr || IpcLink.broken) {
    code = IpcLink.view == nullptr ? IpcResult::NotOpen : IpcResult::SendFailed;
    return false;
  }
  if (length < 4 || length > IPC_LIST_LIMIT) {
    code = IpcResult::ListFull;
    return false;
  }
  std::memcpy(IpcLink.view, list, length);
  IpcLink.cursor = 0;
  if (!SendList(length, answer, code)) return false;
  std::memcpy(list, IpcLink.view, length);
  code = IpcResult::Ok;
  return true;
}

bool IpcProcess(uint32_t& code) {
  if (IpcLink.view == nullptr) {
    code = IpcResult::NotOpen;
    return false;
  }
  if (IpcLink.cursor == 0) {
    code = IpcResult::NothingQueued;
    return false;
  }
  QueueRider();
  PutU32(IpcLink.view + IpcLink.cursor, 0);
  uint32_t length = IpcLink.cursor + TERMINATOR_SIZE;
  IpcLink.cursor = 0;  // from here on the requests count as sent
  if (IpcLink.broken) {
    IpcLink.readCount = 0;
    code = IpcResult::SendFailed;
    return false;
  }

  uint32_t answer = 0;
  ++listsSent;
  bool ok = SendList(length, answer, code);
  if (ok && answer != 1) {
    code = IpcResult::NotExecuted;
    ok = false;
  } else if (ok && !IpcCopyResults(IpcLink.view, length)) {
    code = IpcResult::ResultsMismatch;
    ok = false;
  } else if (ok) {
    code = IpcResult::Ok;
    if (RecordingActive()) RecordList(IpcLink.view, length);
  }
  IpcLink.readCount = 0;
  return ok;
}
