// A flight recorded beside simstub, then played back by simstub to a fresh
// node: ComMgr sees the same blocks and traffic at the same moments.

#include "record/recorder.h"
#include "record/recording_reader.h"
#include "support/node_peers.h"
#include "support/replay_check.h"
#include "support/system_tools.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t RECORDED_MS = 60000;

class RecordAndReplay : public NodeWithPeers {
 protected:
  void SetUp() override {
    commgrOptions_ = {"--port", "0", "--hex", "--stamps"};
    NodeWithPeers::SetUp();
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
  const std::string file = OnlyRecordingIn(In("recordings"));
  ASSERT_FALSE(file.empty());
  Recording recording;
  std::string error;
  ASSERT_TRUE(LoadRecording(file, recording, error)) << error;
  const int64_t recordingStart = static_cast<int64_t>(recording.header.startUtcMs);
  const int64_t left = recordingStart + RECORDED_MS + POLLING_CYCLE_MS - static_cast<int64_t>(UtcNowMs());
  if (left > 0) platform::SleepMs(static_cast<uint32_t>(left));
  ASSERT_TRUE(commgr_->Command("shutdown"));
  int code = 0;
  ASSERT_TRUE(node_->WaitForExit(10000, code)) << Console();
  const std::vector<SeenMessage> original = DataMessages(commgr_->Output(), recordingStart);
  ASSERT_TRUE(LoadRecording(file, recording, error)) << error;
  EXPECT_EQ(recording.end, RecordingEnd::Closed);
  stub_.reset();
  commgr_.reset();

  std::string replayLog;
  const std::vector<SeenMessage> replay = ReplayToAFreshNode(file, directory_, nodeProgram_, replayLog);
  ASSERT_FALSE(replay.empty());
  // From the replay's first message on, once its node had read every block.
  ExpectTheSameMessages(original, replay, replay.front().atMs + 2 * POLLING_CYCLE_MS, RECORDED_MS - POLLING_CYCLE_MS);
  // The recorded flight plan, served from simstub's folder, imported alike.
  const std::string loaded = LastAfter(Log(), "CheckFlightPlan() - Flight plan ");
  EXPECT_FALSE(loaded.empty()) << Log();
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
