#include "record/recorder.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/platform.h"
#include "process/log.h"
#include "record/record_encoder.h"
#include "record/recording_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// A chunk goes to the disk at the latest this long after its first record,
// so that a node that ends abruptly loses no more than that.
constexpr uint32_t FLUSH_AFTER_MS = 1000;
constexpr auto WAKE_PERIOD = std::chrono::milliseconds(250);

struct RecorderRecord {
  std::mutex lock;                 // guards everything below but file and encoder
  std::condition_variable wake;    // the writer: something to do
  std::condition_variable ended;   // StopRecording: the writer is done
  std::deque<RecordEntry> queue;
  size_t queued = 0;               // bytes in the queue
  size_t limit = RECORDING_QUEUE_LIMIT;
  bool stopping = false;
  bool overflowed = false;
  uint32_t overflowAt = 0;
  bool writerRunning = false;
  Clock::time_point start;
  // The writer's alone while it runs.
  RecordingFile file;
  std::unique_ptr<RecordEncoder> encoder;
};
// Never destroyed: a writer may still run while the process ends.
RecorderRecord& recorder = *new RecorderRecord;
std::atomic<bool> active{false};

uint32_t ElapsedMs() {
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - recorder.start).count());
}

void Hand(EntryKind kind, std::vector<uint8_t>&& bytes) {
  std::lock_guard<std::mutex> guard(recorder.lock);
  if (!active.load(std::memory_order_relaxed) || recorder.stopping || recorder.overflowed) return;
  const uint32_t now = ElapsedMs();
  if (recorder.queued + bytes.size() > recorder.limit) {
    recorder.overflowed = true;
    recorder.overflowAt = now;
    active = false;
  } else {
    recorder.queued += bytes.size();
    recorder.queue.push_back({kind, now, std::move(bytes)});
  }
  recorder.wake.notify_one();
}

std::string Seconds(uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%03u s", ms / 1000, ms % 1000);
  return text;
}

// The file closed and the writer done.
void Finish() {
  active = false;
  recorder.file.Close();
  std::lock_guard<std::mutex> guard(recorder.lock);
  recorder.queue.clear();
  recorder.queued = 0;
  recorder.writerRunning = false;
  recorder.ended.notify_all();
}

// The recording ends before it was asked to: the gap mark, and the log told.
void EndEarly(GapReason reason, uint32_t from) {
  const std::vector<uint8_t> gap = GapChunk(from, reason);
  // After a failed write only the reserve is sure to take it.
  if (reason == GapReason::WriteFailed || !recorder.file.Append(gap)) recorder.file.AppendIntoReserve(gap);
  if (reason == GapReason::QueueFull) {
    LogFormat("RecordingWriter() - Recording ended: the disk did not keep up and its queue was full; nothing is "
              "recorded from %s on: %s\n",
              Seconds(from).c_str(), recorder.file.path().c_str());
  } else {
    LogFormat("RecordingWriter() - Recording ended: %s could not be written (is the disk full?); nothing is "
              "recorded from %s on\n",
              recorder.file.path().c_str(), Seconds(from).c_str());
  }
  Finish();
}

void Writer() {
  RecordEncoder& encoder = *recorder.encoder;
  for (;;) {
    std::deque<RecordEntry> batch;
    bool stop = false;
    bool overflow = false;
    uint32_t overflowAt = 0;
    uint32_t now = 0;
    {
      std::unique_lock<std::mutex> guard(recorder.lock);
      recorder.wake.wait_for(guard, WAKE_PERIOD,
                             [] { return !recorder.queue.empty() || recorder.stopping || recorder.overflowed; });
      batch.swap(recorder.queue);
      recorder.queued = 0;
      stop = recorder.stopping;
      overflow = recorder.overflowed;
      overflowAt = recorder.overflowAt;
      now = ElapsedMs();
    }
    bool written = true;
    for (const RecordEntry& entry : batch) {
      if (!(written = encoder.Add(entry))) break;
    }
    if (written && stop && !overflow) {
      written = encoder.Add({EntryKind::Event, now, {static_cast<uint8_t>(EventCode::End)}});
    }
    if (written && encoder.pending() && (stop || overflow || now - encoder.pendingSince() >= FLUSH_AFTER_MS)) {
      written = encoder.Flush();
    }
    if (!written) return EndEarly(GapReason::WriteFailed, encoder.lostFrom());
    if (overflow) return EndEarly(GapReason::QueueFull, overflowAt);
    if (stop) return Finish();
  }
}

}  // namespace

UtcMoment UtcMomentOf(uint64_t utcMs) {
  using namespace std::chrono;
  const sys_time<milliseconds> moment{milliseconds(utcMs)};
  const sys_days day = floor<days>(moment);
  const year_month_day date(day);
  const int64_t ms = duration_cast<milliseconds>(moment - day).count();
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(ms / 3600000),
          static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)};
}

std::string RecordingFileName(uint64_t startUtcMs, int32_t restartCount) {
  const UtcMoment m = UtcMomentOf(startUtcMs);
  char name[80];
  std::snprintf(name, sizeof name, "ZemSim-%04d%02d%02d-%02d%02d%02d-%d%s", m.year, m.month, m.day, m.hour, m.minute,
                m.second, restartCount, RECORDING_EXTENSION);
  return name;
}

uint64_t UtcNowMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count());
}

bool StartRecording(const std::string& folder, RecordingHeader header, std::string& path, std::string& error,
                    size_t queueLimit) {
  {
    std::lock_guard<std::mutex> guard(recorder.lock);
    if (recorder.writerRunning) {
      error = "a recording is already being written";
      return false;
    }
  }
  std::error_code failure;
  if (!std::filesystem::is_directory(folder, failure)) {
    error = "there is no folder " + folder;
    return false;
  }
  header.formatVersion = RECORDING_FORMAT_VERSION;
  header.startUtcMs = UtcNowMs();
  header.imagePeriodMs = IMAGE_PERIOD_MS;
  // A second run in the same second with the same count (a run started
  // again at once) gets a name of its own: nothing is overwritten.
  const std::string name = RecordingFileName(header.startUtcMs, header.restartCount);
  const std::string stem = name.substr(0, name.size() - std::string(RECORDING_EXTENSION).size());
  for (int n = 1; n <= 9; ++n) {
    const std::string candidate = n == 1 ? name : stem + "-" + std::to_string(n) + RECORDING_EXTENSION;
    path = (std::filesystem::path(folder) / candidate).string();
    if (!std::filesystem::exists(path, failure)) break;
  }
  if (!recorder.file.Create(path)) {
    error = "the file " + path + " cannot be created";
    return false;
  }
  recorder.encoder = std::make_unique<RecordEncoder>([](const std::vector<uint8_t>& chunk) {
    return recorder.file.Append(chunk);
  });
  if (!recorder.encoder->Begin(header)) {
    recorder.file.Close();
    std::filesystem::remove(path, failure);
    error = "the file " + path + " cannot be written";
    return false;
  }
  {
    std::lock_guard<std::mutex> guard(recorder.lock);
    recorder.queue.clear();
    recorder.queued = 0;
    recorder.limit = queueLimit;
    recorder.stopping = false;
    recorder.overflowed = false;
    recorder.start = Clock::now();
    recorder.writerRunning = true;
  }
  active = true;
  if (!platform::StartThread(Writer)) {
    active = false;
    recorder.file.Close();
    std::lock_guard<std::mutex> guard(recorder.lock);
    recorder.writerRunning = false;
    error = "its writer thread could not be started";
    return false;
  }
  return true;
}

void StopRecording() {
  std::unique_lock<std::mutex> guard(recorder.lock);
  if (!recorder.writerRunning) return;
  recorder.stopping = true;
  active = false;
  recorder.wake.notify_one();
  recorder.ended.wait(guard, [] { return !recorder.writerRunning; });
}

bool RecordingActive() { return active.load(std::memory_order_relaxed); }

void ExchangeEntry::Answer(uint32_t offset, const uint8_t* data, uint32_t size) {
  AppendExchangeRequest(bytes, EXCHANGE_READ, offset, data, size);
}

void ExchangeEntry::Write(uint32_t offset, const uint8_t* data, uint32_t size) {
  AppendExchangeRequest(bytes, EXCHANGE_WRITE, offset, data, size);
}

void RecordExchange(ExchangeEntry& exchange) {
  if (RecordingActive() && !exchange.bytes.empty()) Hand(EntryKind::Exchange, std::move(exchange.bytes));
  exchange.bytes.clear();
}

void RecordSimulatorConnected(uint32_t serverVersion, uint32_t simulatorVersion, const std::string& where) {
  if (RecordingActive()) Hand(EntryKind::Event, SimulatorConnectedEvent(serverVersion, simulatorVersion, where));
}
void RecordSimulatorLost() {
  if (RecordingActive()) Hand(EntryKind::Event, {static_cast<uint8_t>(EventCode::SimulatorLost)});
}
void RecordComMgrConnected(const std::string& address) {
  if (RecordingActive()) Hand(EntryKind::Event, TextEvent(EventCode::ComMgrConnected, address));
}
void RecordComMgrLost() {
  if (RecordingActive()) Hand(EntryKind::Event, {static_cast<uint8_t>(EventCode::ComMgrLost)});
}
void RecordRestart(int32_t successorRestartCount) {
  if (RecordingActive()) Hand(EntryKind::Event, CountEvent(EventCode::Restart, successorRestartCount));
}

void RecordPlan(const std::string& path, const std::string& content) {
  if (!RecordingActive()) return;
  std::vector<uint8_t> body;
  AppendPlanBody(body, path, content);
  Hand(EntryKind::Plan, std::move(body));
}
