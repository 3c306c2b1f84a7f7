// The window-message transport, whole process (Windows, or wine): the Block 1
// batch read through the simulator's server window against a running
// simstub, beside its floor, a bare message round trip to the same window.
//   zemsim_window_bench [ITERATIONS]   (default 2000, five runs each)

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "bench_support.h"
#include "platform/platform.h"
#include "simlink/blocks.h"
#include "simlink/sim_connection.h"

namespace {

// Median over five runs of the mean time of one call, in microseconds.
template <typename Call>
double MedianMeanUs(int iterations, Call call) {
  std::vector<int64_t> runs;
  for (int run = 0; run < 5; ++run) {
    int64_t start = NowNs();
    for (int i = 0; i < iterations; ++i) {
      if (!call()) return -1;
    }
    runs.push_back((NowNs() - start) / iterations);
  }
  return SpreadOf(runs).p50;
}

}  // namespace

int main(int argc, char** argv) {
  const int iterations = argc > 1 ? std::atoi(argv[1]) : 2000;
  std::filesystem::current_path(FreshRunDirectory("window"));  // the node's log lines go there
  InitSimulatorLink();
  uintptr_t window = platform::FindServerWindow("UIPCMAIN");
  if (window == 0 || FSUIPCConnect() != 0) {
    std::fprintf(stderr, "zemsim_window_bench: no simulator window (start simstub first)\n");
    return 1;
  }
  double block1 = MedianMeanUs(iterations, [] { return FSUIPCReadBlock10() == 0; });
  // WM_NULL: answered by the window's thread without doing anything.
  double floor = MedianMeanUs(iterations, [window] {
    intptr_t answer = 0;
    return platform::SendBlockingMessage(window, 0, 0, 0, 2000, answer) == platform::SendStatus::Delivered;
  });
  FSUIPCClose();
  std::printf("window block1=%.2f floor=%.2f us\n", block1, floor);
  return block1 < 0 || floor < 0 ? 1 : 0;
}
