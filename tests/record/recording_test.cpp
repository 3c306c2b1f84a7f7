#include <regex>

#include "record/record_encoder.h"
#include "record/recorder.h"
#include "record/replay_model.h"
#include "support/files.h"
#include "support/recording_sample.h"
#include "support/test_support.h"
#include "wire/bytes.h"

namespace {

// Where each chunk of a file begins, walked by the lengths in their headers.
std::vector<size_t> ChunkStarts(const std::vector<uint8_t>& file) {
  std::vector<size_t> starts;
  for (size_t at = 0; at < file.size(); at += CHUNK_HEADER_SIZE + GetU32(file.data() + at + ChunkField::Length)) {
    starts.push_back(at);
  }
  return starts;
}

TEST(Recording, GivesBackEverySpaceWriteEventAndPlanAsHandedOver) {
  const Sample& sample = TheSample();
  const Recording r = Parse(sample.file);
  EXPECT_TRUE(r.problems.empty());
  EXPECT_EQ(r.end, RecordingEnd::Closed);
  EXPECT_EQ(r.header.startUtcMs, 1796739901123u);
  EXPECT_EQ(r.header.restartCount, 1);
  EXPECT_EQ(r.header.udpwait, 100);
  EXPECT_EQ(r.header.nodeVersion, "0.27");

  ReplayModel model(r);
  for (const auto& [t, space] : sample.spaces) {
    model.MoveTo(t);
    ASSERT_EQ(model.space(), space) << "at " << t << " ms";
  }
  // Back to an earlier moment: from the image before it, without what
  // was first read later.
  model.MoveTo(14000);
  EXPECT_EQ(model.space(), sample.spaces[26].second);
  EXPECT_EQ(sample.spaces[26].first, 14000u);

  std::vector<std::pair<uint32_t, uint32_t>> writes;
  std::vector<std::string> events;
  size_t images = 0;
  for (const RecordedItem& item : r.items) {
    if (item.type == RecordType::Write) {
      EXPECT_EQ(item.offset, 0x07BCu);
      writes.push_back({item.timeMs, GetU32(r.Data(item.dataAt))});
    } else if (item.type == RecordType::Event) {
      events.push_back(std::to_string(item.timeMs) + ":" + std::to_string(static_cast<int>(item.event)) + ":" +
                       item.text + item.state.where);
    } else if (item.type == RecordType::Plan) {
      EXPECT_EQ(item.timeMs, 3000u);
      EXPECT_EQ(item.text, PLAN_PATH);
      EXPECT_EQ(std::string(r.Data(item.dataAt), r.Data(item.dataAt) + item.dataSize), PLAN);
    } else if (item.type == RecordType::Image) {
      ++images;
      EXPECT_TRUE(item.state.simulatorConnected && item.state.comMgrConnected);
    } else if (item.type == RecordType::Answers && item.timeMs > 0) {
      // What did not change since the last answer is not kept again.
      for (size_t s = item.firstSpan; s < item.firstSpan + item.spanCount; ++s) {
        EXPECT_TRUE(r.spans[s].offset + r.spans[s].size <= STATION || r.spans[s].offset >= STATION + 6);
      }
    }
  }
  EXPECT_EQ(writes, sample.writes);
  EXPECT_EQ(events, (std::vector<std::string>{"0:1:stream 127.0.0.1:9300", "1000:3:127.0.0.1:9002", "12000:2:",
                                              "13000:1:stream 127.0.0.1:9300", "25000:7:"}));
  EXPECT_EQ(images, 2u);  // one every 10 s
}

TEST(Recording, CutAtAnyByteReadsUpToItsLastWholeChunkAndSaysWhereItWasCut) {
  const std::vector<uint8_t>& file = TheSample().file;
  const Recording whole = Parse(file);
  const std::vector<size_t> starts = ChunkStarts(file);
  ASSERT_GT(starts.size(), 10u);
  for (size_t cut = 0; cut < file.size(); ++cut) {
    Recording r;
    std::string error;
    const bool read = ParseRecording(std::vector<uint8_t>(file.begin(), file.begin() + cut), r, error);
    if (cut < starts[1]) {
      EXPECT_FALSE(read) << cut;
      EXPECT_EQ(error, cut < 4 ? "it is not a recording: it does not begin with a recording's mark"
                               : "it is cut short inside its header, at byte " + std::to_string(cut));
      continue;
    }
    ASSERT_TRUE(read) << cut << ": " << error;
    const size_t lastWhole = *(std::upper_bound(starts.begin(), starts.end(), cut) - 1);
    size_t expectedItems = 0;
    while (expectedItems < whole.items.size() && whole.items[expectedItems].chunkAt < lastWhole) ++expectedItems;
    ASSERT_EQ(r.items.size(), expectedItems) << cut;
    if (cut == lastWhole) {
      EXPECT_TRUE(r.problems.empty()) << cut;
      EXPECT_EQ(r.end, RecordingEnd::Open);
    } else {
      EXPECT_EQ(r.end, RecordingEnd::Cut);
      EXPECT_EQ(r.problems, (std::vector<std::string>{"cut at byte " + std::to_string(cut) + ": the chunk at byte " +
                                                      std::to_string(lastWhole) + " is not whole; read up to byte " +
                                                      std::to_string(lastWhole)}));
    }
  }
  // What it read replays as the whole file does up to there.
  const size_t half = starts[starts.size() / 2];
  const Recording front = Parse(std::vector<uint8_t>(file.begin(), file.begin() + half + 7));
  EXPECT_EQ(SpaceAt(front, 30000), SpaceAt(whole, front.items.back().timeMs));
}

enum class Damaged { SecondChunk, FirstImage, LastChunk };
struct DamageRow {
  const char* name;
  Damaged chunk;
};

class RecordingDamage : public testing::TestWithParam<DamageRow> {};

TEST_P(RecordingDamage, IsReportedAtItsByteOffsetAndSkippedToTheNextImage) {
  const std::vector<uint8_t>& file = TheSample().file;
  const Recording whole = Parse(file);
  const std::vector<size_t> starts = ChunkStarts(file);
  std::vector<size_t> images;
  for (size_t at : starts) {
    if (GetU16(file.data() + at + ChunkField::Kind) == static_cast<uint16_t>(ChunkKind::Image)) images.push_back(at);
  }
  ASSERT_EQ(images.size(), 2u);
  ASSERT_LT(starts[2], images[0]);
  const size_t damaged = GetParam().chunk == Damaged::SecondChunk  ? starts[2]
                         : GetParam().chunk == Damaged::FirstImage ? images[0]
                                                                   : starts.back();
  std::vector<uint8_t> bytes = file;
  bytes[damaged + CHUNK_HEADER_SIZE + 3] ^= 0x40;
  const Recording r = Parse(bytes);
  const auto next = std::upper_bound(images.begin(), images.end(), damaged);
  const std::string at = "damaged chunk at byte " + std::to_string(damaged) + ": its checksum does not match; ";
  if (next == images.end()) {
    EXPECT_EQ(r.problems, (std::vector<std::string>{at + "no image follows, read up to byte " +
                                                    std::to_string(damaged)}));
    EXPECT_EQ(r.end, RecordingEnd::Damaged);
    return;
  }
  EXPECT_EQ(r.problems, (std::vector<std::string>{at + "skipped " + std::to_string(*next - damaged) +
                                                  " bytes to the image at byte " + std::to_string(*next)}));
  // From the image on, all is there again.
  EXPECT_EQ(r.end, RecordingEnd::Closed);
  EXPECT_EQ(SpaceAt(r, 25000), SpaceAt(whole, 25000));
  const auto firstAfter = [&](const Recording& rec) {
    return std::find_if(rec.items.begin(), rec.items.end(), [&](const RecordedItem& i) { return i.chunkAt >= *next; });
  };
  EXPECT_EQ(r.items.end() - firstAfter(r), whole.items.end() - firstAfter(whole));
}

INSTANTIATE_TEST_SUITE_P(Chunks, RecordingDamage,
                         testing::Values(DamageRow{"RecordsBeforeTheFirstImage", Damaged::SecondChunk},
                                         DamageRow{"AnImage", Damaged::FirstImage},
                                         DamageRow{"TheLastBehindTheLastImage", Damaged::LastChunk}),
                         RowName());

struct RefusalRow {
  const char* name;
  std::function<void(std::vector<uint8_t>&)> change;
  const char* error;
};

class RecordingRefused : public testing::TestWithParam<RefusalRow> {};

TEST_P(RecordingRefused, WithOneClearLine) {
  std::vector<uint8_t> bytes = TheSample().file;
  GetParam().change(bytes);
  Recording r;
  std::string error;
  EXPECT_FALSE(ParseRecording(bytes, r, error));
  EXPECT_EQ(error, GetParam().error);
}

// A header of another format version, its checksum made right again.
void OtherVersion(std::vector<uint8_t>& bytes) {
  PutU16(bytes.data() + CHUNK_HEADER_SIZE + HeaderField::FormatVersion, 2);
  PutU32(bytes.data() + ChunkField::Crc,
         ChunkChecksum(bytes.data(), bytes.data() + CHUNK_HEADER_SIZE, GetU32(bytes.data() + ChunkField::Length)));
}

INSTANTIATE_TEST_SUITE_P(
    Files, RecordingRefused,
    testing::Values(RefusalRow{"OfAnotherVersion", OtherVersion,
                               "it is of format version 2; this program reads version 1 only"},
                    RefusalRow{"NotARecording", [](std::vector<uint8_t>& b) { b.assign({'<', 'x', 'm', 'l'}); },
                               "it is not a recording: it does not begin with a recording's mark"},
                    RefusalRow{"WithItsHeaderDamaged", [](std::vector<uint8_t>& b) { b[CHUNK_HEADER_SIZE + 5] ^= 1; },
                               "its header is damaged: its checksum does not match"}),
    RowName());

TEST(Recorder, NamesItsFileByTheStartInUtcAndTheRestartCount) {
  EXPECT_EQ(RecordingFileName(1796739901123, 0), "ZemSim-20261208-142501-0.zrec");
  EXPECT_EQ(RecordingFileName(1709251199999, 3), "ZemSim-20240229-235959-3.zrec");
}

TEST(Recorder, WritesWhatTheNodeHandsOverIntoARecordingClosedInOrder) {
  RunDirectory folder("recorder");
  RecordingHeader header;
  header.restartCount = 2;
  header.nodeVersion = "9.9";
  std::string path, error;
  const uint64_t before = UtcNowMs();
  ASSERT_TRUE(StartRecording(folder.path(), header, path, error)) << error;
  EXPECT_TRUE(std::regex_match(std::filesystem::path(path).filename().string(),
                               std::regex("ZemSim-20[0-9]{6}-[0-9]{6}-2\\.zrec")));
  RecordSimulatorConnected(0x19980005, 0xFADE000E, "window UIPCMAIN");
  ExchangeEntry x;
  const uint8_t on[4] = {1, 0, 0, 0};
  x.Write(0x07BC, on, 4);
  x.Answer(0x07BC, on, 4);
  RecordExchange(x);
  RecordPlan(PLAN_PATH, PLAN);
  RecordComMgrLost();
  StopRecording();
  EXPECT_FALSE(RecordingActive());
  RecordSimulatorLost();  // after the end: not recorded

  Recording r;
  ASSERT_TRUE(LoadRecording(path, r, error)) << error;
  EXPECT_EQ(r.end, RecordingEnd::Closed);
  EXPECT_GE(r.header.startUtcMs, before);
  EXPECT_EQ(r.header.restartCount, 2);
  EXPECT_EQ(r.header.nodeVersion, "9.9");
  std::vector<RecordType> types;
  for (const RecordedItem& item : r.items) types.push_back(item.type);
  using T = RecordType;
  EXPECT_EQ(types, (std::vector<T>{T::Event, T::Write, T::Answers, T::Plan, T::Event, T::Event}));
  EXPECT_EQ(SpaceAt(r, r.items.back().timeMs)[0x07BC], 1);
}

TEST(Recorder, AFullQueueEndsTheRecordingWithItsLineAndMarksTheGap) {
  RunDirectory folder("full-queue");
  const LogTail log;
  std::string path, error;
  ASSERT_TRUE(StartRecording(folder.path(), RecordingHeader{}, path, error, 64)) << error;
  RecordComMgrConnected("127.0.0.1:9002");
  ExchangeEntry x;
  const std::vector<uint8_t> table(3840, 7);
  x.Answer(SLOT, table.data(), 3840);
  RecordExchange(x);
  EXPECT_FALSE(RecordingActive());
  StopRecording();
  EXPECT_EQ(log.Count("RecordingWriter() - Recording ended: the disk did not keep up and its queue was full"), 1);
  Recording r;
  ASSERT_TRUE(LoadRecording(path, r, error)) << error;
  ASSERT_EQ(r.items.size(), 2u);
  EXPECT_EQ(r.items[0].event, EventCode::ComMgrConnected);
  EXPECT_EQ(r.items[1].event, EventCode::Gap);
  EXPECT_EQ(r.items[1].value, static_cast<int32_t>(GapReason::QueueFull));
  EXPECT_EQ(r.end, RecordingEnd::Open);
}

}  // namespace
