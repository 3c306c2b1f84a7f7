#include "support/recording_sample.h"

#include <cstring>

#include "record/record_encoder.h"
#include "record/recorder.h"
#include "record/replay_model.h"
#include "support/test_support.h"
#include "wire/bytes.h"

namespace {

Sample MakeSample() {
  Sample s;
  RecordEncoder encoder([&s](const std::vector<uint8_t>& chunk) {
    s.file.insert(s.file.end(), chunk.begin(), chunk.end());
    return true;
  });
  RecordingHeader header;
  header.startUtcMs = 1796739901123;
  header.restartCount = 1;
  header.udpinterval = 50;
  header.udpwait = 100;
  header.nodeVersion = "0.27";
  encoder.Begin(header);
  std::vector<uint8_t> space(RECORDED_SPACE_SIZE, 0);
  auto event = [&](uint32_t t, std::vector<uint8_t> body) { encoder.Add({EntryKind::Event, t, std::move(body)}); };
  event(0, SimulatorConnectedEvent(0x19980005, 0xFADE000E, "stream 127.0.0.1:9300"));
  for (uint32_t t = 0; t <= 25000; t += 500) {
    if (t == 1000) event(t, TextEvent(EventCode::ComMgrConnected, "127.0.0.1:9002"));
    if (t == 3000) {
      std::vector<uint8_t> body;
      AppendPlanBody(body, PLAN_PATH, PLAN);
      encoder.Add({EntryKind::Plan, t, body});
    }
    if (t == 12000) event(t, {static_cast<uint8_t>(EventCode::SimulatorLost)});
    if (t >= 12000 && t < 13000) continue;
    if (t == 13000) event(t, SimulatorConnectedEvent(0x19980005, 0xFADE000E, "stream 127.0.0.1:9300"));
    PutF64(space.data() + POSITION, 47.0 + t / 1e5);
    std::memcpy(space.data() + STATION, "SEA\0\0", 6);
    space[SLOT] = 1;
    space[SLOT + 4] = static_cast<uint8_t>(t / 2000);
    ExchangeEntry x;
    if (t % 2000 == 0) {
      uint8_t value[4];
      PutU32(value, t / 2000);
      x.Write(0x07BC, value, 4);
      s.writes.push_back({t, t / 2000});
    }
    x.Answer(POSITION, space.data() + POSITION, 8);
    x.Answer(STATION, space.data() + STATION, 6);
    x.Answer(SLOT, space.data() + SLOT, 40);
    if (t >= 16000) {
      space[GROUND] = 3;
      x.Answer(GROUND, space.data() + GROUND, 4);
    }
    encoder.Add({EntryKind::Exchange, t, x.bytes});
    s.spaces.push_back({t, space});
    if (t % 2000 == 1500) encoder.Flush();  // as the writer does every second
  }
  encoder.Add({EntryKind::Event, 25000, {static_cast<uint8_t>(EventCode::End)}});
  encoder.Flush();
  return s;
}

}  // namespace

const Sample& TheSample() {
  static const Sample sample = MakeSample();
  return sample;
}

Recording Parse(std::vector<uint8_t> bytes) {
  Recording r;
  std::string error;
  EXPECT_TRUE(ParseRecording(std::move(bytes), r, error)) << error;
  return r;
}

std::vector<uint8_t> SpaceAt(const Recording& r, uint32_t t) {
  ReplayModel model(r);
  model.MoveTo(t);
  return model.space();
}

