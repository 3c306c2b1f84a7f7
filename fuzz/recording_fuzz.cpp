// A recording file, whatever it holds, through the reader and a replay of
// all of it, forward and back.

#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "record/replay_model.h"

namespace {

struct Sum : ReplayModel::Visitor {
  uint32_t total = 0;
  void Changed(uint16_t offset, const uint8_t* data, uint16_t size) override {
    for (uint16_t i = 0; i < size; ++i) total += static_cast<uint32_t>(data[i] + offset);
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  PrepareFuzzProcess(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Recording recording;
  std::string error;
  if (!ParseRecording(std::vector<uint8_t>(data, data + size), recording, error)) return 0;
  ReplayModel model(recording);
  Sum sum;
  model.MoveTo(model.endTime(), &sum);
  model.MoveTo(model.endTime() / 2, &sum);
  static volatile uint32_t kept;
  kept = sum.total;
  return 0;
}
