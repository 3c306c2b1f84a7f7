// What the node puts into its recording, where it meets the simulator.

#include "flightplan/flight_plan.h"
#include "node/node_recording.h"
#include "process/text.h"
#include "record/recorder.h"
#include "record/recording_reader.h"
#include "simlink/blocks.h"
#include "support/files.h"
#include "support/recording_sample.h"
#include "support/sim_fixture.h"

namespace {

class NodeRecording : public SimulatorTest {
 protected:
  void TearDown() override {
    StopRecording();
    FlightPlanWatch = FlightPlanWatchRecord{};
    SimulatorTest::TearDown();
  }
  // The one recording in the folder, read back.
  Recording Read() {
    StopRecording();
    Recording recording;
    std::string error;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      EXPECT_TRUE(LoadRecording(entry.path().string(), recording, error)) << error;
    }
    return recording;
  }
  RunDirectory folder{"recordings"};
  // As a configuration names it: a word of at most 99 characters.
  const std::string named = std::filesystem::relative(folder.path()).string();
};

TEST_F(NodeRecording, KeepsTheHandshakeTheAnswersTheWritesAndTheImportedPlan) {
  CopyText(Settings.record, named);
  Settings.udpinterval = 40;
  StartRunRecording();
  ASSERT_TRUE(RecordingActive());
  Connect();
  PutU32At(0x0BE0, 0x3FFF);
  uint8_t flaps[4] = {};
  ASSERT_EQ(FSUIPCRead(0x0BE0, 4, flaps), 1u);
  const uint8_t bcd[2] = {0x45, 0x23};
  ASSERT_EQ(FSUIPCWrite(0x034E, 2, bcd), 1u);
  const std::string plan = "<Title>KSEA to KPDX</Title>\r\n<CruisingAlt>9000</CruisingAlt>\n";
  const std::string planPath = RunDirectory("plans").In("plan.pln");
  WriteWholeFile(planPath, plan);
  CheckFlightPlan(planPath.c_str());

  const Recording r = Read();
  EXPECT_EQ(r.header.udpinterval, 40);
  EXPECT_EQ(r.end, RecordingEnd::Closed);
  const std::vector<uint8_t> space = SpaceAt(r, r.items.back().timeMs);
  // The handshake's answers as the simulator gave them: what a replay must serve.
  EXPECT_EQ(GetU32(&space[0x3304]), 0x40000000u);
  EXPECT_EQ(GetU32(&space[0x3308]) >> 16, 0xFADEu);
  EXPECT_EQ(GetU32(&space[0x0BE0]), 0x3FFFu);
  std::vector<std::pair<uint32_t, std::string>> recorded;
  std::string planRecorded, planContent;
  for (const RecordedItem& item : r.items) {
    if (item.type == RecordType::Write) {
      recorded.push_back({item.offset, std::string(reinterpret_cast<const char*>(r.Data(item.dataAt)), item.dataSize)});
    }
    if (item.type == RecordType::Plan) {
      planRecorded = item.text;
      planContent.assign(reinterpret_cast<const char*>(r.Data(item.dataAt)), item.dataSize);
    }
  }
  EXPECT_NE(std::find(recorded.begin(), recorded.end(), std::make_pair(0x034Eu, std::string("\x45\x23", 2))), recorded.end());
  EXPECT_EQ(planRecorded, planPath);
  EXPECT_EQ(planContent, plan);
}

TEST_F(NodeRecording, AFolderItCannotWriteIsShownAndTheNodeGoesOn) {
  const LogTail log;
  const std::string missing = named + "/missing";
  CopyText(Settings.record, missing);
  StartRunRecording();
  EXPECT_FALSE(RecordingActive());
  EXPECT_EQ(log.Count("ReadConfig() - record " + missing + ": there is no folder"), 1) << log.Added();
  EXPECT_EQ(log.Count("the node runs without recording"), 1);
  Connect();  // and nothing is recorded
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

}  // namespace
