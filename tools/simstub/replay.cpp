#include "replay.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "record/replay_model.h"
#include "record/recording_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

// Where the simulator reports its flight-plan file.
constexpr uint32_t PLAN_PATH_OFFSET = 0x0130;
constexpr uint32_t PLAN_PATH_SIZE = 256;
// How often the replay looks at the clock when nothing is due sooner.
constexpr uint32_t TICK_MS = 5;

std::string Seconds(uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%03u s", ms / 1000, ms % 1000);
  return text;
}

// The last part of a path as either system writes it.
std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.empty() ? "plan.pln" : name;
}

struct Player : ReplayModel::Visitor {
  Player(OffsetSpace& s, const ReplayOptions& o, std::function<void(const std::string&)> tell)
      : space(s), options(o), say(std::move(tell)), model(recording) {}

  // The bytes the move changed, gathered to be stored at once.
  void Changed(uint16_t offset, const uint8_t* data, uint16_t size) override {
    AppendSpan(runs, offset, data, size);
    if (offset < PLAN_PATH_OFFSET + PLAN_PATH_SIZE && offset + size > PLAN_PATH_OFFSET) pathChanged = true;
  }
  void Passed(const RecordedItem& item) override {
    if (item.type == RecordType::Plan) WritePlan(item);
  }

  // Each recorded path gets a file of its own in the folder; a plan the
  // node imported again with other content is written anew, as the
  // simulator's file was.
  bool PreparePlans(std::string& error) {
    std::error_code failure;
    std::filesystem::create_directories(options.plans, failure);
    const std::filesystem::path folder = std::filesystem::absolute(options.plans, failure);
    if (!std::filesystem::is_directory(folder, failure)) {
      error = "the folder " + options.plans + " for the flight plans cannot be made";
      return false;
    }
    for (const RecordedItem& item : recording.items) {
      if (item.type != RecordType::Plan || served.count(item.text) != 0) continue;
      std::string name = FileNameOf(item.text);
      for (int n = 2; taken.count(name) != 0; ++n) name = std::to_string(n) + "-" + FileNameOf(item.text);
      taken[name] = true;
      served[item.text] = (folder / name).string();
      if (served[item.text].size() >= PLAN_PATH_SIZE) {
        error = "the folder " + folder.string() + " is too long a path for a simulator to report";
        return false;
      }
      WritePlan(item);
    }
    return true;
  }

  void WritePlan(const RecordedItem& item) {
    const std::string content(reinterpret_cast<const char*>(recording.Data(item.dataAt)), item.dataSize);
    std::string& last = written[item.text];
    if (last == content && !last.empty()) return;
    last = content;
    std::ofstream(served[item.text], std::ios::binary | std::ios::trunc) << content;
  }

  // The path the recording shows at 0x0130, as this machine serves it.
  void ServePlanPath() {
    const char* shown = reinterpret_cast<const char*>(model.space().data() + PLAN_PATH_OFFSET);
    const std::string path(shown, strnlen(shown, PLAN_PATH_SIZE));
    const auto found = served.find(path);
    std::vector<uint8_t> text(PLAN_PATH_SIZE, 0);
    const std::string& local = found == served.end() ? path : found->second;
    std::copy(local.begin(), local.begin() + std::min<size_t>(local.size(), PLAN_PATH_SIZE - 1), text.begin());
    AppendSpan(runs, PLAN_PATH_OFFSET, text.data(), PLAN_PATH_SIZE);
  }

  // Moves the recording to the moment and stores what changed, all at once.
  void MoveTo(uint32_t timeMs) {
    runs.clear();
    pathChanged = false;
    model.MoveTo(timeMs, this);
    if (pathChanged) ServePlanPath();
    if (!runs.empty()) space.WriteRuns(runs);
  }

  // The recording's moment now, at the chosen speed.
  uint32_t Now() const {
    if (paused) return pausedAt;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - base).count() * options.speed;
    return static_cast<uint32_t>(std::min<double>(baseTime + ms, 0xFFFFFFFFu));
  }

  // The space as the recording shows it now.
  void CatchUp() {
    std::lock_guard<std::mutex> guard(lock);
    const uint32_t now = Now();
    if (!paused && now > model.time()) MoveTo(now);
  }

  void Run() {
    for (;;) {
      uint32_t next = 0;
      CatchUp();
      {
        std::lock_guard<std::mutex> guard(lock);
        if (!paused && !model.NextTime(next)) {
          if (options.loop) {
            say("replay: end at " + Seconds(model.time()) + ", again from " + Seconds(fromMs) + "\n");
            MoveTo(fromMs);
            baseTime = fromMs;
            base = Clock::now();
          } else if (!ended) {
            ended = true;
            say("replay: end at " + Seconds(model.time()) + "\n");
          }
        }
      }
      platform::SleepMs(TICK_MS);
    }
  }

  OffsetSpace& space;
  ReplayOptions options;
  std::function<void(const std::string&)> say;
  Recording recording;
  ReplayModel model;
  std::vector<uint8_t> runs;
  bool pathChanged = false;
  std::map<std::string, std::string> served;   // the recorded path, and the file that serves it here
  std::map<std::string, std::string> written;  // the recorded path, and the content its file holds
  std::map<std::string, bool> taken;           // the folder's names in use

  std::mutex lock;  // the clock and the model, between the replay and the console
  uint32_t fromMs = 0;
  Clock::time_point base;
  uint32_t baseTime = 0;
  bool paused = false;
  uint32_t pausedAt = 0;
  bool ended = false;
};

Player* player = nullptr;

}  // namespace

bool StartReplay(OffsetSpace& space, const ReplayOptions& options, const std::function<void(const std::string&)>& say,
                 std::string& error) {
  if (!(options.speed > 0.0) || !(options.fromSeconds >= 0.0)) {
    error = "the speed must be above 0 and the start at 0 s or later";
    return false;
  }
  auto made = std::make_unique<Player>(space, options, say);
  Player& p = *made;
  if (!LoadRecording(options.file, p.recording, error)) return false;
  for (const std::string& problem : p.recording.problems) say("replay: " + problem + "\n");
  p.fromMs = static_cast<uint32_t>(options.fromSeconds * 1000.0);
  if (p.fromMs > p.model.endTime()) {
    error = "the recording ends at " + Seconds(p.model.endTime()) + ", before " + Seconds(p.fromMs);
    return false;
  }
  if (!p.PreparePlans(error)) return false;
  // What a client's handshake needs, should the recording not hold it yet.
  ReportCurrentVersions(space);
  p.MoveTo(p.fromMs);
  p.baseTime = p.fromMs;
  p.base = Clock::now();
  player = made.release();  // plays until the process ends
  // Every list is answered from the recording as it stands at that moment,
  // however late the replay's own thread comes to its turn.
  space.beforeList = [] { player->CatchUp(); };
  say("replay: " + options.file + ", " + Seconds(p.model.endTime()) + ", playing from " + Seconds(p.fromMs) +
      "\n");
  std::thread([] { player->Run(); }).detach();
  return true;
}

bool PauseReplay() {
  if (player == nullptr) return false;
  std::lock_guard<std::mutex> guard(player->lock);
  if (!player->paused) {
    player->pausedAt = player->Now();
    player->MoveTo(player->pausedAt);
    player->paused = true;
  }
  player->say("replay: paused at " + Seconds(player->pausedAt) + "\n");
  return true;
}

bool PlayReplay() {
  if (player == nullptr) return false;
  std::lock_guard<std::mutex> guard(player->lock);
  if (player->paused) {
    player->baseTime = player->pausedAt;
    player->base = Clock::now();
    player->paused = false;
  }
  player->say("replay: playing from " + Seconds(player->Now()) + "\n");
  return true;
}

bool StepReplay() {
  if (player == nullptr) return false;
  std::lock_guard<std::mutex> guard(player->lock);
  if (!player->paused) {
    player->say("replay: step only when paused\n");
    return true;
  }
  uint32_t next = 0;
  if (player->model.NextTime(next)) {
    player->pausedAt = next;
    player->MoveTo(next);
  }
  player->say("replay: at " + Seconds(player->pausedAt) + "\n");
  return true;
}
