#include "ipc/batch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "ipc/frame_estimate.h"
#include "ipc/link.h"
#include "process/resource.h"

namespace {

constexpr uint32_t TERMINATOR_SIZE = 4;

bool FitsBeside(uint32_t used, uint32_t more) {
  return static_cast<uint64_t>(used) + more + TERMINATOR_SIZE <= IPC_LIST_LIMIT;
}

// One caller's batch on its way: waiting for a list, in one, or back. A
// posted batch is the line's own, and nobody waits for it.
struct Passage {
  IpcBatch* batch;
  enum class State { Waiting, Carried, Back } state = State::Waiting;
  bool ok = false;
  std::unique_ptr<IpcBatch> posted;
};

// Guards the waiting line, the states and the leader's mark; held only for
// moments, never across an exchange.
// Never destroyed: threads may still wait on them while the process exits,
// and a condition variable destroyed under a waiter does not return.
std::mutex& lineLock = *new std::mutex;
std::condition_variable& lineChanged = *new std::condition_variable;
std::deque<Passage*> waitingLine;
size_t postedWaiting = 0;
bool leaderPresent = false;
// The line's own leader, for posted batches that nobody else will carry:
// their posters have gone on. Started when first needed.
std::condition_variable& holderCalled = *new std::condition_variable;
bool holderWanted = false;
bool holderStarted = false;
// The simulator's frames, as the leaders' lists show them, and the link they
// were learnt on. Only the leader of the moment touches them: whoever sets
// leaderPresent (under lineLock) has them to itself until it clears it.
FrameEstimate frames;
uint32_t framesLearntOnOpen = 0;
std::atomic<uint64_t> listsHeld{0};

// The caller name the line's own leader takes the lock with: posted batches
// are the network's writes.
constexpr const char* POSTED_CALLER = "FSUIPCWrite()";

// One list over the link, timed for the estimate; with the "FSUIPC" lock
// held. The batches are queued in the order given.
template <typename Batches>
bool ExecuteList(const Batches& batches) {
  if (framesLearntOnOpen != IpcLink.openCounter) {
    frames.Forget();  // another link, maybe another simulator
    framesLearntOnOpen = IpcLink.openCounter;
  }
  uint32_t code = 0;
  for (const IpcBatch* batch : batches) {
    if (!batch->QueueInto(code)) {
      IpcDropQueued();  // the link closed under the waiting batches
      return false;
    }
  }
  const auto sent = FrameEstimate::Clock::now();
  const bool ok = IpcProcess(code);
  if (ok) frames.Observe(sent, FrameEstimate::Clock::now());
  return ok;
}

// The leader's part, with the "FSUIPC" lock held: lists until its own batch
// is back, or for the line's own leader (no batch) until no posted batch
// waits. Each list takes the waiting batches from the front, whole, while
// they fit.
void Lead(const Passage* own) {
  std::vector<Passage*> carried;
  std::vector<const IpcBatch*> batches;
  std::unique_lock<std::mutex> line(lineLock);
  while (own != nullptr ? own->state != Passage::State::Back : postedWaiting > 0) {
    // Just before the simulator's next frame ends, with every batch that
    // came meanwhile.
    const auto sendAt = frames.SendTime(FrameEstimate::Clock::now());
    if (FrameEstimate::Clock::now() < sendAt) ++listsHeld;
    while (FrameEstimate::Clock::now() < sendAt) lineChanged.wait_until(line, sendAt);
    carried.clear();
    batches.clear();
    uint32_t used = 0;
    while (!waitingLine.empty() && FitsBeside(used, waitingLine.front()->batch->listBytes())) {
      Passage* next = waitingLine.front();
      waitingLine.pop_front();
      if (next->posted) --postedWaiting;
      next->state = Passage::State::Carried;
      used += next->batch->listBytes();
      carried.push_back(next);
      batches.push_back(next->batch);
    }
    line.unlock();
    const bool ok = ExecuteList(batches);
    line.lock();
    for (Passage* passage : carried) {
      if (passage->posted) {
        delete passage;
        continue;
      }
      passage->ok = ok;
      passage->state = Passage::State::Back;
    }
    lineChanged.notify_all();
  }
}

// Posted batches that no list will take (the lock could not be had): lost,
// as a write that failed. Under lineLock.
void DropPosted() {
  std::erase_if(waitingLine, [](Passage* passage) {
    if (!passage->posted) return false;
    delete passage;
    return true;
  });
  postedWaiting = 0;
}

[[noreturn]] void Holder();

// A leader leaves, under lineLock: posted batches still waiting go to the
// line's own leader, who takes over at once; else anyone waiting may lead.
void StepDown() {
  if (postedWaiting == 0) {
    leaderPresent = false;
    lineChanged.notify_all();
    return;
  }
  holderWanted = true;
  if (!holderStarted) {
    holderStarted = true;
    std::thread(Holder).detach();
  }
  holderCalled.notify_one();
}

[[noreturn]] void Holder() {
  std::unique_lock<std::mutex> line(lineLock);
  for (;;) {
    holderCalled.wait(line, [] { return holderWanted; });
    holderWanted = false;
    line.unlock();
    const bool held = GetResource(FsuipcLock, POSTED_CALLER);
    if (held) {
      Lead(nullptr);
      ReleaseResource(FsuipcLock, POSTED_CALLER);
    }
    line.lock();
    if (!held) DropPosted();
    StepDown();
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
  std::unique_lock<std::mutex> line(lineLock);
  if (!leaderPresent && waitingLine.empty() && frames.period() == FrameEstimate::Clock::duration{0}) {
    // Nobody to wait for and no frame to wait for: straight out, alone.
    leaderPresent = true;
    line.unlock();
    const bool held = GetResource(FsuipcLock, caller);
    const IpcBatch* alone[] = {&batch};
    const bool ok = held && ExecuteList(alone);
    if (held) ReleaseResource(FsuipcLock, caller);
    line.lock();
    StepDown();
    return ok;
  }
  Passage own{&batch, Passage::State::Waiting, false, nullptr};
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
    Lead(&own);
    ReleaseResource(FsuipcLock, caller);
  }
  line.lock();
  if (!held) {
    std::erase(waitingLine, &own);
    DropPosted();
  }
  StepDown();
  return held && own.ok;
}

bool PostBatch(IpcBatch& batch, const char* caller) {
  if (batch.empty()) return true;
  std::unique_lock<std::mutex> line(lineLock);
  if (!leaderPresent && frames.period() == FrameEstimate::Clock::duration{0}) {
    line.unlock();
    return ExchangeBatch(batch, caller);  // nothing to wait for: at once
  }
  auto* passage = new Passage{nullptr, Passage::State::Waiting, false, std::make_unique<IpcBatch>(std::move(batch))};
  passage->batch = passage->posted.get();
  batch.Clear();
  waitingLine.push_back(passage);
  ++postedWaiting;
  if (!leaderPresent) {
    leaderPresent = true;
    StepDown();  // to the line's own leader
  }
  return true;
}

size_t BatchesWaiting() {
  std::lock_guard<std::mutex> line(lineLock);
  return waitingLine.size();
}

uint64_t IpcListsHeld() { return listsHeld.load(); }
