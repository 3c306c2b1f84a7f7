#include "ipc/server.h"

#include <cstring>
#include <thread>
#include <vector>

#include "ipc/link.h"
#include "ipc/records.h"
#include "wire/bytes.h"

void OffsetSpace::ReadUnlocked(uint32_t offset, uint8_t* destination, uint32_t size) const {
  for (uint32_t i = 0; i < size; ++i) {
    uint64_t at = static_cast<uint64_t>(offset) + i;
    destination[i] = at < SIZE ? bytes_[at] : 0;
  }
}

void OffsetSpace::WriteUnlocked(uint32_t offset, const uint8_t* source, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i) {
    uint64_t at = static_cast<uint64_t>(offset) + i;
    if (at < SIZE) bytes_[at] = source[i];
  }
}

void ReportCurrentVersions(OffsetSpace& space) {
  uint8_t versions[8];
  PutU32(versions, 0x40000000);                                // the server's version
  PutU32(versions + 4, (IPC_CHECK_PATTERN << 16) | 0x000D);  // check pattern and simulator version
  space.Write(IPC_SERVER_VERSION_OFFSET, versions, sizeof versions);
  space.SetReadOnly(IPC_SERVER_VERSION_OFFSET, sizeof versions);
}

void OffsetSpace::SetReadOnly(uint32_t offset, uint32_t size) {
  std::lock_guard<std::mutex> guard(mutex_);
  readOnly_.push_back({offset, size});
}

bool OffsetSpace::IsReadOnly(uint64_t at) const {
  for (const Range& range : readOnly_) {
    if (at >= range.offset && at < static_cast<uint64_t>(range.offset) + range.size) return true;
  }
  return false;
}

void OffsetSpace::Read(uint32_t offset, void* destination, uint32_t size) {
  std::lock_guard<std::mutex> guard(mutex_);
  ReadUnlocked(offset, static_cast<uint8_t*>(destination), size);
}

void OffsetSpace::Write(uint32_t offset, const void* source, uint32_t size) {
  std::lock_guard<std::mutex> guard(mutex_);
  WriteUnlocked(offset, static_cast<const uint8_t*>(source), size);
}

void OffsetSpace::WriteRuns(const std::vector<uint8_t>& runs) {
  std::lock_guard<std::mutex> guard(mutex_);
  for (size_t at = 0; at + 4 <= runs.size();) {
    const uint16_t offset = GetU16(runs.data() + at);
    const uint16_t size = GetU16(runs.data() + at + 2);
    if (size > runs.size() - at - 4) break;
    WriteUnlocked(offset, runs.data() + at + 4, size);
    at += 4u + size;
  }
}

void AnswerPacer::Set(Answering answering, uint32_t ms) {
  std::lock_guard<std::mutex> guard(mutex_);
  answering_ = ms == 0 ? Answering::AtOnce : answering;
  ms_ = ms;
}

void AnswerPacer::WaitForTurn() {
  Clock::time_point turn;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    const Clock::duration step = std::chrono::milliseconds(ms_);
    switch (answering_) {
      case Answering::AtOnce:
        return;
      case Answering::Late:
        turn = Clock::now() + step;
        break;
      case Answering::Frames:
        // The next boundary after now, or the one after the last list's frame.
        turn = epoch_ + ((Clock::now() - epoch_) / step + 1) * step;
        if (turn <= lastFrame_) turn = lastFrame_ + step;
        lastFrame_ = turn;
        break;
    }
  }
  std::this_thread::sleep_until(turn);
}

void OffsetSpace::Execute(uint8_t* list, uint32_t length) {
  pacer.WaitForTurn();
  if (beforeList) beforeList();
  ++listsExecuted_;
  std::lock_guard<std::mutex> guard(mutex_);
  uint32_t terminatorAt = 0;
  WalkIpcRecords(list, length, terminatorAt, [&](const IpcRecord& record) {
    uint8_t* data = list + record.dataAt;
    if (record.id == IPC_READ_ID) {
      ReadUnlocked(record.offset, data, record.size);
    } else {
      for (uint32_t i = 0; i < record.size; ++i) {
        uint64_t at = static_cast<uint64_t>(record.offset) + i;
        if (at < SIZE && !IsReadOnly(at)) bytes_[at] = data[i];
      }
      if (onWrite) onWrite(record.offset, data, record.size);
    }
    return true;
  });
}

namespace {

// A list that broke off: how.
StreamEnd BrokenOff(platform::IoStatus status) {
  if (status == platform::IoStatus::Closed) return StreamEnd::ClosedInList;
  if (status == platform::IoStatus::TimedOut) return StreamEnd::PartialList;
  return StreamEnd::Lost;
}

constexpr uint32_t FOREVER_MS = 24u * 3600 * 1000;

}  // namespace

StreamEnd ServeStreamConnection(platform::SocketHandle connection, uint32_t idleMs, uint32_t partialMs,
                                const StreamListHandler& handle) {
  std::vector<uint8_t> list(IPC_LIST_LIMIT);
  StreamEnd end = StreamEnd::ClientLeft;
  for (;;) {
    uint8_t prefix[4];
    platform::IoStatus status = platform::ReceiveAll(connection, prefix, 1, idleMs);
    if (status != platform::IoStatus::Ok) {
      end = status == platform::IoStatus::Closed     ? StreamEnd::ClientLeft
            : status == platform::IoStatus::TimedOut ? StreamEnd::Idle
                                                     : StreamEnd::Lost;
      break;
    }
    status = platform::ReceiveAll(connection, prefix + 1, 3, partialMs);
    if (status != platform::IoStatus::Ok) {
      end = BrokenOff(status);
      break;
    }
    uint32_t length = GetU32(prefix);
    if (length < 4 || length > IPC_LIST_LIMIT) {
      end = StreamEnd::BadLength;
      break;
    }
    status = platform::ReceiveAll(connection, list.data(), length, partialMs);
    if (status != platform::IoStatus::Ok) {
      end = BrokenOff(status);
      break;
    }
    uint32_t answer = 0;
    if (!handle(list.data(), length, answer)) {
      end = StreamEnd::Refused;
      break;
    }
    uint8_t reply[8];
    PutU32(reply, answer);
    PutU32(reply + 4, length);
    if (platform::SendAll(connection, reply, sizeof reply, 5000) != platform::IoStatus::Ok ||
        platform::SendAll(connection, list.data(), length, 5000) != platform::IoStatus::Ok) {
      end = StreamEnd::ReplyFailed;
      break;
    }
  }
  platform::CloseSocket(connection);
  return end;
}

void ServeStreamConnection(OffsetSpace& space, platform::SocketHandle connection, const std::atomic<bool>& stalled) {
  // The stand-in waits for its clients as long as they like.
  ServeStreamConnection(connection, FOREVER_MS, 5000, [&](uint8_t* list, uint32_t length, uint32_t& answer) {
    while (stalled) platform::SleepMs(10);
    space.Execute(list, length);
    answer = 1;
    return true;
  });
}
