#pragma once
// The server side of the request-list protocol: a 64 KiB offset space and
// the engine that executes a request list over it. The stand-in simulator
// serves it over its transports; unit tests call it in-process.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/platform.h"

// How a simulator answers request lists: at once; each list a fixed time
// late (a simulator busy loading scenery, a stalled network); or inside its
// own frame loop, one list per frame for all its clients together, each
// arriving list waiting for the next frame boundary that no earlier list has
// taken. It may change while lists are being served.
enum class Answering { AtOnce, Late, Frames };

class AnswerPacer {
 public:
  // ms: how late, or how long the frames are; 0 answers at once.
  void Set(Answering answering, uint32_t ms);
  // Waits until this list may be answered.
  void WaitForTurn();

 private:
  using Clock = std::chrono::steady_clock;
  std::mutex mutex_;
  Answering answering_ = Answering::AtOnce;
  uint32_t ms_ = 0;
  Clock::time_point epoch_ = Clock::now();
  Clock::time_point lastFrame_{};
};

class OffsetSpace {
 public:
  static constexpr uint32_t SIZE = 0x10000;

  // Bytes past the end of the space read as 0; writes past it are dropped.
  void Read(uint32_t offset, void* destination, uint32_t size);
  void Write(uint32_t offset, const void* source, uint32_t size);
  // Bytes for several places at once: no list sees some of them stored
  // without the others. Each run: offset u16 | length u16 | bytes.
  void WriteRuns(const std::vector<uint8_t>& runs);

  // Runs the function with the space locked (several clients share it).
  template <typename F>
  void Locked(F&& function) {
    std::lock_guard<std::mutex> guard(mutex_);
    function();
  }

  // Executes the records of the list in order: reads fill their data, writes
  // store theirs; id 0 or any unknown id ends execution, and so does a
  // record that would run past the list. The list first waits for its turn
  // as the pacer has it.
  void Execute(uint8_t* list, uint32_t length);

  AnswerPacer pacer;
  // Lists executed since the start, by every client and transport.
  uint64_t ListsExecuted() const { return listsExecuted_.load(); }

  // Clients' writes into this range are executed (and reported) but not
  // stored: the server's own fields, such as its versions, stay as they are.
  void SetReadOnly(uint32_t offset, uint32_t size);

  // Called (not under the lock) as each list's turn comes, before it is
  // executed: whoever keeps the space up to date with a clock of its own
  // (a replay) brings it up to this moment.
  std::function<void()> beforeList;
  // Called (under the lock) for every write a list executes.
  std::function<void(uint32_t offset, const uint8_t* data, uint32_t size)> onWrite;

 private:
  void ReadUnlocked(uint32_t offset, uint8_t* destination, uint32_t size) const;
  void WriteUnlocked(uint32_t offset, const uint8_t* source, uint32_t size);

  bool IsReadOnly(uint64_t at) const;

  struct Range {
    uint32_t offset;
    uint32_t size;
  };
  std::mutex mutex_;
  std::atomic<uint64_t> listsExecuted_{0};
  std::array<uint8_t, SIZE> bytes_{};
  std::vector<Range> readOnly_;
};

// The versions a current server and simulator report at 0x3304 and 0x3308,
// which a client's handshake checks: kept as they are when the client
// writes its own version beside them.
void ReportCurrentVersions(OffsetSpace& space);

// What serves one list of a stream client: true with the answer that goes
// back beside the list as executed; false to close the connection unanswered.
using StreamListHandler = std::function<bool(uint8_t* list, uint32_t length, uint32_t& answer)>;

// How a stream connection ended: the client closed it between lists, or
// part-way through one (ClosedInList); it failed (Lost: reset, or a peer
// that stopped answering the keep-alive probes); no list began within the
// idle time (Idle), or one began and did not arrive whole in time
// (PartialList); the client announced an impossible length, its list was
// refused, or it did not take its answer.
enum class StreamEnd { ClientLeft, ClosedInList, Lost, Idle, PartialList, BadLength, Refused, ReplyFailed };

// Serves one stream connection, list by list, until the client goes away,
// falls silent or breaks the protocol; closes it and says why it ended. A
// list must begin within idleMs of the last answer and arrive whole within
// partialMs of its first byte.
StreamEnd ServeStreamConnection(platform::SocketHandle connection, uint32_t idleMs, uint32_t partialMs,
                                const StreamListHandler& handle);

// The stand-in simulator's connections: the offset space executes every
// list; while stalled is set, none is answered.
void ServeStreamConnection(OffsetSpace& space, platform::SocketHandle connection, const std::atomic<bool>& stalled);
