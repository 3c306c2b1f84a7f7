// A flight recorded beside simstub, then played back by simstub to a fresh
// node: ComMgr sees the same blocks and traffic at the same moments.

#include <map>
#include <sstream>

#include "net/monitor.h"
#include "record/recorder.h"
#include "record/recording_reader.h"
#include "simlink/blocks.h"
#include "support/node_peers.h"
#include "support/system_tools.h"
#include "wire/msg_header.h"

namespace fs = std::filesystem;

namespace {

// One polling cycle at the default schedule: three steps of udpinterval
// (50 ms) and udpwait (100 ms), before the exchanges' own time.
constexpr int64_t CYCLE_MS = 250;
constexpr int64_t RECORDED_MS = 60000;

struct Seen {
  int64_t atMs;  // from the start of the recording, or of the replay
  uint32_t type;
  std::vector<uint8_t> bytes;
};

// The data messages ComMgr showed whole (--hex --stamps), timed from the start.
std::vector<Seen> DataMessages(const std::string& output, int64_t startMs) {
  std::vector<Seen> seen;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    long long stamp = 0;
    std::string hex, type, digits;
    if (!(words >> stamp >> hex >> type >> digits) || hex != "hex" || type.rfind("type=", 0) != 0) continue;
    Seen message{stamp - startMs, static_cast<uint32_t>(std::stoul(type.substr(5))), {}};
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
      message.bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    seen.push_back(std::move(message));
  }
  return seen;
}

// The wall-clock stamp of the first line holding the text.
int64_t StampOf(const std::string& output, const std::string& text) {
  const size_t at = output.find(text);
  if (at == std::string::npos) return -1;
  const size_t line = output.rfind('\n', at);
  return std::stoll(output.substr(line == std::string::npos ? 0 : line + 1));
}

// The node's own bytes, not the simulator's: the header with its sequence
// number, in Block 2 the heartbeat it writes and reads back, and in Block 3
// the change counter, the connected byte and the hot-key byte.
bool NodesOwn(uint32_t type, size_t at) {
  if (at < MSG_BLOCK_DATA_OFFSET) return true;
  if (type == MSG_BLOCK_2) return at == FieldAt(Block2Layout(), HEARTBEAT_OFFSET);
  return type == MSG_BLOCK_3 && ((at >= Block3Field::FsChangeCount && at < Block3Field::FsChangeCount + 8) ||
                                 at == Block3Field::ConnectedByte || at == Block3Field::HotKeyByte);
}

// The first byte where the two differ in what the simulator gave; -1 when equal.
int64_t FirstDifference(const Seen& a, const Seen& b) {
  if (a.bytes.size() != b.bytes.size()) return 0;
  for (size_t at = 0; at < a.bytes.size(); ++at) {
    if (!NodesOwn(a.type, at) && a.bytes[at] != b.bytes[at]) return static_cast<int64_t>(at);
  }
  return -1;
}

class RecordAndReplay : public NodeWithPeers {
 protected:
  void SetUp() override {
    commgrOptions_ = {"--port", "0", "--hex", "--stamps"};
    NodeWithPeers::SetUp();
  }

  // Every message of the replay from the moment its node was connected to
  // the end must equal one of the original's of the same type, at most one
  // cycle before or after it: the cycle as the original node ran it, the
  // longest time its messages of the type kept one content (a poll of the
  // blocks; for traffic, which the node reads once a second, that second);
  // and the replay must have sent about as many of each type.
  void ExpectTheSame(const std::vector<Seen>& original, const std::vector<Seen>& replay, int64_t fromMs,
                     int64_t toMs) {
    std::map<uint32_t, int> compared, originals;
    std::map<uint32_t, int64_t> cycle;
    std::map<uint32_t, const Seen*> changed;  // where the type's content last changed
    int mismatches = 0;
    for (const Seen& m : original) {
      const Seen*& last = changed[m.type];
      if (last == nullptr || FirstDifference(*last, m) >= 0) {
        if (last != nullptr) cycle[m.type] = std::max(cycle[m.type], m.atMs - last->atMs);
        last = &m;
      }
      if (m.atMs >= fromMs && m.atMs <= toMs) ++originals[m.type];
    }
    for (const Seen& r : replay) {
      if (r.atMs < fromMs || r.atMs > toMs) continue;
      ++compared[r.type];
      int64_t nearest = -1;
      bool equal = false;
      for (const Seen& o : original) {
        if (o.type != r.type || o.atMs < r.atMs - cycle[r.type] || o.atMs > r.atMs + cycle[r.type]) continue;
        nearest = FirstDifference(o, r);
        if ((equal = nearest < 0)) break;
      }
      if (!equal && ++mismatches <= 5) {
        ADD_FAILURE() << "type " << r.type << " at " << r.atMs << " ms: no original within a cycle of "
                      << cycle[r.type] << " ms"
                      << (nearest > 0 ? " (the nearest differs first at byte " + std::to_string(nearest) + ")" : "");
      }
    }
    EXPECT_EQ(mismatches, 0);
    for (uint32_t type : {MSG_BLOCK_1, MSG_BLOCK_2, MSG_BLOCK_3, MSG_AIR_TRAFFIC}) {
      EXPECT_GE(compared[type] * 10, originals[type] * 8) << "type " << type << ": " << compared[type] << " of "
                                                            << originals[type];
      EXPECT_GT(originals[type], 0) << "type " << type;
    }
  }
};

TEST_F(RecordAndReplay, TheReplayGivesComMgrTheSameBlocksAndTrafficAtTheSameMoments) {
  fs::create_directory(In("recordings"));
  WriteWholeFile(In("ZemSim.cfg"), ReadWholeFile(In("ZemSim.cfg")) + "record recordings\n");
  StartNode();
  ASSERT_TRUE(WaitForConsoleCount("Connected to simulator\n", 1, 10000)) << Console();
  // Changes from the network, turned in as knobs are, now and then.
  for (int burst = 0; burst < 3; ++burst) {
    platform::SleepMs(12000);
    for (int step = 0; step < 5; ++step) {
      ASSERT_TRUE(commgr_->Command("int 83 0 100 1"));  // COM1 up 5 kHz, autopilot heading up 1 degree
      platform::SleepMs(200);
    }
  }
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(In("recordings"))) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);
  Recording recording;
  std::string error;
  ASSERT_TRUE(LoadRecording(files[0].string(), recording, error)) << error;
  const int64_t recordingStart = static_cast<int64_t>(recording.header.startUtcMs);
  const int64_t left = recordingStart + RECORDED_MS + CYCLE_MS - static_cast<int64_t>(UtcNowMs());
  if (left > 0) platform::SleepMs(static_cast<uint32_t>(left));
  ASSERT_TRUE(commgr_->Command("shutdown"));
  int code = 0;
  ASSERT_TRUE(node_->WaitForExit(10000, code)) << Console();
  const std::vector<Seen> original = DataMessages(commgr_->Output(), recordingStart);
  const std::string originalLog = Log();
  ASSERT_TRUE(LoadRecording(files[0].string(), recording, error)) << error;
  EXPECT_EQ(recording.end, RecordingEnd::Closed);
  stub_.reset();
  commgr_.reset();

  // The replay, in a folder of its own, to a node that never saw the flight.
  stub_ = std::make_unique<StubSimulator>(
      directory_, 0, std::vector<std::string>{"--replay", files[0].string(), "--stamps", "--quiet-writes"});
  ASSERT_TRUE(stub_->ready()) << stub_->Output();
  commgr_ = std::make_unique<StandInCommgr>(directory_, commgrPrefix_, commgrOptions_, "commgr-replay.txt");
  ASSERT_TRUE(commgr_->ready());
  const RunDirectory replayRun("replay");
  WriteWholeFile(replayRun.In("ZemSim.cfg"), "ipaddress 127.0.0.1\nport " + std::to_string(stub_->port()) +
                                                 "\nsimserver " + stub_->endpoint() + "\n");
  node_ = std::make_unique<ScopedChild>(nodeProgram_, replayRun.path(), replayRun.In("console.txt"));
  ASSERT_TRUE(stub_->WaitFor("replay: end at", 2 * RECORDED_MS)) << stub_->Output();
  ASSERT_TRUE(commgr_->Command("shutdown"));
  ASSERT_TRUE(node_->WaitForExit(10000, code)) << ReadTextFile(replayRun.In("console.txt"));

  const int64_t replayStart = StampOf(stub_->Output(), "replay: " + files[0].string());
  ASSERT_GT(replayStart, 0) << stub_->Output();
  const std::vector<Seen> replay = DataMessages(commgr_->Output(), replayStart);
  ASSERT_FALSE(replay.empty()) << commgr_->Output();
  // From the replay's first Block 3 on, once its node had read every block.
  const int64_t from = replay.front().atMs + 2 * CYCLE_MS;
  ExpectTheSame(original, replay, from, RECORDED_MS - CYCLE_MS);
  // The recorded flight plan, served from simstub's folder, imported alike.
  const std::string replayLog = ReadWholeFile(replayRun.In("ZemSim.log"));
  const std::string loaded = LastAfter(originalLog, "CheckFlightPlan() - Flight plan ");
  EXPECT_FALSE(loaded.empty()) << originalLog;
  EXPECT_EQ(LastAfter(replayLog, "CheckFlightPlan() - Flight plan "), loaded) << replayLog;
}

// A recording that can grow no further, as on a full disk: the node's files
// may not pass 100 KiB (and a write past it fails instead of ending the
// process), which a recording beside simstub passes within a minute. It
// ends with its line and its gap, and the node goes on.
class RecordingOnAFullDisk : public NodeWithPeers {
 protected:
  void SetUp() override {
    nodeProgram_ = {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 200; exec \"$0\"", ProgramBeside("zemsim")};
    commgrOptions_ = {"--port", "0", "--hex"};
    NodeWithPeers::SetUp();
  }
};

TEST_F(RecordingOnAFullDisk, EndsWithItsLineAndAGapWhileTheNodeGoesOn) {
  fs::create_directory(In("recordings"));
  WriteWholeFile(In("ZemSim.cfg"), ReadWholeFile(In("ZemSim.cfg")) + "record recordings\n");
  StartNode();
  const std::string ended = "RecordingWriter() - Recording ended: ";
  ASSERT_TRUE(Eventually([&] { return Log().find(ended) != std::string::npos; }, 120000)) << Log();
  EXPECT_NE(Log().find("could not be written (is the disk full?); nothing is recorded from "), std::string::npos)
      << Log();
  // The node goes on: ComMgr gets blocks after the end of the recording.
  EXPECT_TRUE(commgr_->WaitForNew("hex type=20 ", 5000));
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(In("recordings"))) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_LE(fs::file_size(files[0]), 200u * 512);
  std::string info;
  ASSERT_EQ(RunToEnd({ProgramBeside("zemrec"), "info", files[0].string()}, &info), 0) << info;
  EXPECT_NE(info.find("to the end: the file could not be written"), std::string::npos) << info;
  EXPECT_NE(info.find("damage      none"), std::string::npos) << info;
}

}  // namespace
