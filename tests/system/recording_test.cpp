// A flight recorded beside simstub, then played back by simstub to a fresh
// node: ComMgr sees the same blocks and traffic at the same moments.

#include "record/record_encoder.h"
#include "record/recorder.h"
#include "record/recording_reader.h"
#include "support/message_bytes.h"
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

// A short recording of its own: the simulator's plan path answered at 0,
// the plan imported, the flaps at 1, 2 and 3 at 0, 200 and 400 ms.
std::string FlapsRecording(const std::string& path) {
  std::vector<uint8_t> file;
  RecordEncoder encoder([&file](const std::vector<uint8_t>& chunk) {
    file.insert(file.end(), chunk.begin(), chunk.end());
    return true;
  });
  encoder.Begin(RecordingHeader{});
  std::vector<uint8_t> body;
  AppendPlanBody(body, "C:\\Flights\\KSEA-KPDX.pln", "<Title>KSEA to KPDX</Title>");
  encoder.Add({EntryKind::Plan, 0, body});
  for (uint32_t step = 0; step < 3; ++step) {
    ExchangeEntry exchange;
    const uint8_t flaps[4] = {static_cast<uint8_t>(step + 1), 0, 0, 0};
    if (step == 0) exchange.Answer(0x0130, reinterpret_cast<const uint8_t*>("C:\\Flights\\KSEA-KPDX.pln"), 24);
    exchange.Answer(0x0BE0, flaps, 4);
    encoder.Add({EntryKind::Exchange, step * 200, exchange.bytes});
  }
  encoder.Flush();
  WriteWholeFile(path, std::string(file.begin(), file.end()));
  return path;
}

// The console steers the replay: paused it holds, a step moves it on by one
// recorded moment; the plan path names simstub's own copy of the plan.
TEST(SimstubReplay, PausesStepsAndServesThePlanFromItsFolder) {
  const RunDirectory run("replay-console");
  // A hundredth of the speed: the second answer is 20 s away.
  StubSimulator stub(run.path(), 0, {"--replay", FlapsRecording(run.In("flaps.zrec")), "--speed", "0.01"});
  ASSERT_TRUE(stub.ready()) << stub.Output();
  ASSERT_TRUE(stub.Ask("get 0x0BE0 1", "get 0x0BE0 1: 01"));
  ASSERT_TRUE(stub.Ask("pause", "replay: paused at "));
  ASSERT_TRUE(stub.Ask("step", "replay: at 0.200 s"));
  EXPECT_TRUE(stub.Ask("get 0x0BE0 1", "get 0x0BE0 1: 02"));
  ASSERT_TRUE(stub.Ask("step", "replay: at 0.400 s"));
  EXPECT_TRUE(stub.Ask("get 0x0BE0 1", "get 0x0BE0 1: 03"));
  EXPECT_TRUE(stub.Ask("play", "replay: playing from 0.400 s"));
  const std::string plan = fs::absolute(run.In("simstub-plans/KSEA-KPDX.pln")).string();
  EXPECT_EQ(ReadWholeFile(plan), "<Title>KSEA to KPDX</Title>");
  const auto size = static_cast<uint32_t>(plan.size() + 1);
  ASSERT_TRUE(stub.Ask("get 0x0130 " + std::to_string(size), "get 0x0130 " + std::to_string(size) + ": "));
  std::string served = LastAfter(stub.Output(), "get 0x0130 " + std::to_string(size) + ": ");
  served.erase(std::remove(served.begin(), served.end(), ' '), served.end());
  EXPECT_EQ(served, HexDigits(reinterpret_cast<const uint8_t*>(plan.c_str()), size));
}

}  // namespace
