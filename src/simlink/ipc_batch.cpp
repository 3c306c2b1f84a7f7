#include "simlink/ipc_batch.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "process/resource.h"
#include "simlink/frame_estimate.h"
#include "simlink/ipc_link.h"
#include "simlink/sim_connection.h"

namespace {

constexpr uint32_t TERMINATOR_SIZE = 4;

bool FitsBeside(uint32_t used, uint32_t more) {
  return static_cast<uint64_t>(used) + more + TERMINATOR_SIZE <= IPC_LIST_LIMIT;
}

// One caller's batch on its way: waiting for a list, in one, or back.
struct Passage {
  IpcBatch* batch;
  enum class State { Waiting, Carried, Back } state = State::Waiting;
  bool ok = false;
};

// Guards the waiting line, the states and the leader's mark; held only for
// moments, never across an exchange.
std::mutex lineLock;
std::condition_variable lineChanged;
std::deque<Passage*> waitingLine;
bool leaderPresent = false;
// The simulator's frames, as the leaders' lists show them; the link they
// were learnt on.
FrameEstimate frames;
uint32_t framesLearntOnOpen = 0;

// The leader's part, with the "FSUIPC" lock held: lists until its own batch
// is back. Each list takes the waiting batches from the front, whole, while
// they fit.
void LeadUntilBack(Passage& own) {
  std::vector<Passage*> carried;
  std::unique_lock<std::mutex> line(lineLock);
  if (framesLearntOnOpen != IpcLink.openCounter) {
    frames.Forget();  // another link, maybe another simulator
    framesLearntOnOpen = IpcLink.openCounter;
  }
  while (own.state != Passage::State::Back) {
    // Just before the simulator's next frame ends, with every batch that
    // came meanwhile.
    const auto sendAt = frames.SendTime(FrameEstimate::Clock::now());
    while (FrameEstimate::Clock::now() < sendAt) lineChanged.wait_until(line, sendAt);
    carried.clear();
    uint32_t used = 0;
    while (!waitingLine.empty() && FitsBeside(used, waitingLine.front()->batch->listBytes())) {
      Passage* next = waitingLine.front();
      waitingLine.pop_front();
      next->state = Passage::State::Carried;
      used += next->batch->listBytes();
      carried.push_back(next);
    }
    line.unlock();

    uint32_t code = 0;
    bool ok = true;
    for (const Passage* passage : carried) {
      if (!passage->batch->QueueInto(code)) {
        ok = false;
        break;
      }
    }
    const auto sent = FrameEstimate::Clock::now();
    if (ok) {
      ok = IpcProcess(code);
    } else {
      IpcDropQueued();  // the link closed under the waiting batches
    }
    const auto back = FrameEstimate::Clock::now();

    line.lock();
    if (ok) frames.Observe(sent, back);
    for (Passage* passage : carried) {
      passage->ok = ok;
      passage->state = Passage::State::Back;
    }
    lineChanged.notify_all();
  }
}

}  // namespace

bool IpcBatch::Read(uint32_t offset, uint32_t size, void* destination) {
  if (!FitsBeside(listBytes_, IPC_READ_HEADER + size) || size > IPC_LIST_LIMIT) return false;
  requests_.push_back({true, offset, size, destination, 0});
  listBytes_ += IPC_READ_HEADER + size;
  return true;
}

bool IpcBatch::Write(uint32_t offset, uint32_t size, const void* source) {
  if (!FitsBeside(listBytes_, IPC_WRITE_HEADER + size) || size > IPC_LIST_LIMIT) return false;
  const size_t at = data_.size();
  data_.resize(at + size);
  if (size > 0) std::memcpy(data_.data() + at, source, size);
  requests_.push_back({false, offset, size, nullptr, at});
  listBytes_ += IPC_WRITE_HEADER + size;
  return true;
}

void IpcBatch::Clear() {
  requests_.clear();
  data_.clear();
  listBytes_ = 0;
}

bool IpcBatch::QueueInto(uint32_t& code) const {
  for (const Request& request : requests_) {
    bool queued = request.read ? IpcQueueRead(request.offset, request.size, request.destination, code)
                               : IpcQueueWrite(request.offset, request.size, data_.data() + request.dataAt, code);
    if (!queued) return false;
  }
  return true;
}

bool ExchangeBatch(IpcBatch& batch, const char* caller) {
  if (batch.empty()) return true;
  Passage own{&batch};
  std::unique_lock<std::mutex> line(lineLock);
  waitingLine.push_back(&own);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(RESOURCE_WAIT_MS);
  for (;;) {
    if (own.state == Passage::State::Back) return own.ok;
    if (own.state == Passage::State::Waiting && !leaderPresent) break;
    // A batch in a list stays until the list is back: its reads land in
    // the caller's own buffers.
    if (own.state == Passage::State::Carried) {
      lineChanged.wait(line);
    } else if (lineChanged.wait_until(line, deadline) == std::cv_status::timeout &&
               own.state == Passage::State::Waiting && leaderPresent) {
      std::erase(waitingLine, &own);
      line.unlock();
      ReportWaitTimedOut(caller);
      return false;
    }
  }
  leaderPresent = true;
  line.unlock();

  const bool held = GetResource(FsuipcLock, caller);
  if (held) {
    LeadUntilBack(own);
    ReleaseResource(FsuipcLock, caller);
  }
  line.lock();
  if (!held) std::erase(waitingLine, &own);
  leaderPresent = false;
  lineChanged.notify_all();
  return held && own.ok;
}

size_t BatchesWaiting() {
  std::lock_guard<std::mutex> line(lineLock);
  return waitingLine.size();
}
