#pragma once
// A recorded flight against its replay: the data messages ComMgr got from
// the node beside the simulator, and those it got from a fresh node beside
// simstub playing the recording back.

#include <cstdint>
#include <string>
#include <vector>

// One polling cycle at the default schedule: three steps of udpinterval
// (50 ms) and udpwait (100 ms), before the exchanges' own time.
inline constexpr int64_t POLLING_CYCLE_MS = 250;

struct SeenMessage {
  int64_t atMs;  // from the start of the recording, or of the replay
  uint32_t type;
  std::vector<uint8_t> bytes;
};

// The data messages commgr showed whole (--hex --stamps), timed from the start.
std::vector<SeenMessage> DataMessages(const std::string& output, int64_t startMs);

// The recording in the folder (there must be one only); empty, with a
// failure, otherwise.
std::string OnlyRecordingIn(const std::string& folder);

// The recording played by simstub to a fresh node (started by the command
// given, in a folder of its own), with a commgr of its own, to its end;
// the data messages commgr got, timed from the replay's start, and the
// fresh node's log.
std::vector<SeenMessage> ReplayToAFreshNode(const std::string& recording, const std::string& directory,
                                            const std::vector<std::string>& nodeProgram, std::string& nodeLog);

// Every message of the replay from fromMs to toMs must equal one of the
// original's of the same type, at most one cycle before or after it (the
// node's own fields excepted); and the replay must have sent about as many
// of each type.
void ExpectTheSameMessages(const std::vector<SeenMessage>& original, const std::vector<SeenMessage>& replay,
                           int64_t fromMs, int64_t toMs);
