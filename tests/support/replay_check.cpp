#include "support/replay_check.h"

#include <map>
#include <sstream>

#include "net/monitor.h"
#include "simlink/blocks.h"
#include "support/node_peers.h"
#include "wire/msg_header.h"

namespace fs = std::filesystem;

namespace {

// The wall-clock stamp of the first line holding the text; -1 when none does.
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
int64_t FirstDifference(const SeenMessage& a, const SeenMessage& b) {
  if (a.bytes.size() != b.bytes.size()) return 0;
  for (size_t at = 0; at < a.bytes.size(); ++at) {
    if (!NodesOwn(a.type, at) && a.bytes[at] != b.bytes[at]) return static_cast<int64_t>(at);
  }
  return -1;
}

}  // namespace

std::vector<SeenMessage> DataMessages(const std::string& output, int64_t startMs) {
  std::vector<SeenMessage> seen;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    long long stamp = 0;
    std::string hex, type, digits;
    if (!(words >> stamp >> hex >> type >> digits) || hex != "hex" || type.rfind("type=", 0) != 0) continue;
    SeenMessage message{stamp - startMs, static_cast<uint32_t>(std::stoul(type.substr(5))), {}};
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
      message.bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    seen.push_back(std::move(message));
  }
  return seen;
}

std::string OnlyRecordingIn(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path().string());
  EXPECT_EQ(files.size(), 1u) << folder;
  return files.size() == 1 ? files[0] : std::string();
}

std::vector<SeenMessage> ReplayToAFreshNode(const std::string& recording, const std::string& directory,
                                            const std::vector<std::string>& nodeProgram, std::string& nodeLog) {
  StubSimulator stub(directory, 0, {"--replay", recording, "--stamps", "--quiet-writes"});
  StandInCommgr commgr(directory, {}, {"--port", "0", "--hex", "--stamps"}, "commgr-replay.txt");
  if (!stub.ready() || !commgr.ready()) {
    ADD_FAILURE() << "the replay's peers did not start:\n" << stub.Output() << commgr.Output();
    return {};
  }
  const RunDirectory run("replay");
  WriteWholeFile(run.In("ZemSim.cfg"), "ipaddress 127.0.0.1\nport " + std::to_string(stub.port()) +
                                           "\nsimserver " + stub.endpoint() + "\n");
  ScopedChild node(nodeProgram, run.path(), run.In("console.txt"));
  EXPECT_TRUE(stub.WaitFor("replay: end at", 600000)) << stub.Output();
  int code = 0;
  EXPECT_TRUE(commgr.Command("shutdown") && node.WaitForExit(10000, code)) << ReadTextFile(run.In("console.txt"));
  const int64_t start = StampOf(stub.Output(), "replay: " + recording);
  EXPECT_GT(start, 0) << stub.Output();
  const std::vector<SeenMessage> seen = DataMessages(commgr.Output(), start);
  EXPECT_FALSE(seen.empty()) << commgr.Output() << ReadTextFile(run.In("console.txt"));
  nodeLog = ReadWholeFile(run.In("ZemSim.log"));
  return seen;
}

void ExpectTheSameMessages(const std::vector<SeenMessage>& original, const std::vector<SeenMessage>& replay,
                           int64_t fromMs, int64_t toMs) {
  // The cycle as the original node ran it: the longest time its messages of
  // the type kept one content (a poll of the blocks; for traffic, which the
  // node reads once a second, that second).
  std::map<uint32_t, int> compared, originals;
  std::map<uint32_t, int64_t> cycle;
  std::map<uint32_t, const SeenMessage*> changed;  // where the type's content last changed
  for (const SeenMessage& m : original) {
    const SeenMessage*& last = changed[m.type];
    if (last == nullptr || FirstDifference(*last, m) >= 0) {
      if (last != nullptr) cycle[m.type] = std::max(cycle[m.type], m.atMs - last->atMs);
      last = &m;
    }
    if (m.atMs >= fromMs && m.atMs <= toMs) ++originals[m.type];
  }
  int mismatches = 0;
  for (const SeenMessage& r : replay) {
    if (r.atMs < fromMs || r.atMs > toMs) continue;
    ++compared[r.type];
    int64_t nearest = -1;
    bool equal = false;
    for (const SeenMessage& o : original) {
      if (o.type != r.type || o.atMs < r.atMs - cycle[r.type] || o.atMs > r.atMs + cycle[r.type]) continue;
      nearest = FirstDifference(o, r);
      if ((equal = nearest < 0)) break;
    }
    if (!equal && ++mismatches <= 5) {
      ADD_FAILURE() << "type " << r.type << " at " << r.atMs << " ms: no original within a cycle of " << cycle[r.type]
                    << " ms" << (nearest > 0 ? " (the nearest differs first at byte " + std::to_string(nearest) + ")" : "");
    }
  }
  EXPECT_EQ(mismatches, 0);
  for (uint32_t type : {MSG_BLOCK_1, MSG_BLOCK_2, MSG_BLOCK_3, MSG_AIR_TRAFFIC}) {
    EXPECT_GT(originals[type], 0) << "type " << type;
    EXPECT_GE(compared[type] * 10, originals[type] * 8) << "type " << type << ": " << compared[type] << " of "
                                                          << originals[type];
  }
}
