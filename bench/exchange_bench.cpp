// The cost of one exchange with the simulator: the Block 1 batch (every
// request of Block 1 in one list) over the in-process server and over the
// stream transport to simstub, beside the floor, a plain TCP round trip of
// the same number of bytes each way on the same loopback. And the cost of
// one log line.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "ipc/link.h"
#include "platform/child_process.h"
#include "platform/platform.h"
#include "platform/server.h"
#include "process/log.h"
#include "process/settings.h"
#include "process/text.h"
#include "simlink/blocks.h"
#include "simlink/in_process_link.h"
#include "simlink/sim_connection.h"

namespace {

InProcessTransport inProcess;
uint32_t block1ListLength = 0;  // bytes of the Block 1 batch, terminator included

void ReadBlock1Batch(benchmark::State& state) {
  for (auto _ : state) {
    if (FSUIPCReadBlock10() != 0) {
      state.SkipWithError("Block 1 read failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void Block1InProcess(benchmark::State& state) {
  if (ConnectInProcess(inProcess) != 0) {
    state.SkipWithError("no in-process link");
    return;
  }
  ReadBlock1Batch(state);
  block1ListLength = inProcess.lastLength;
  state.SetLabel(std::to_string(block1ListLength) + " list bytes");
  FSUIPCClose();
}
BENCHMARK(Block1InProcess);

void Block1Stream(benchmark::State& state) {
  const std::string output = FreshRunDirectory("stream") + "/simstub.txt";
  platform::ChildProcess stub;
  if (!platform::SpawnProcess({ProgramBeside("simstub"), "--port", "0", "--no-window", "--quiet-writes"}, "", output,
                              stub)) {
    state.SkipWithError("simstub did not start");
    return;
  }
  unsigned port = 0;
  for (int waited = 0; waited < 100 && port == 0; ++waited) {
    platform::SleepMs(50);
    if (std::FILE* file = std::fopen(output.c_str(), "r")) {
      if (std::fscanf(file, "simstub: serving on 127.0.0.1:%u", &port) != 1) port = 0;
      std::fclose(file);
    }
  }
  CopyText(Settings.simserver, ("127.0.0.1:" + std::to_string(port)).c_str());
  SetIpcTransport(nullptr);  // the platform's default: the stream on POSIX
  if (FsuipcLock == nullptr) InitSimulatorLink();  // run alone, nothing made the lock yet
  if (port == 0 || FSUIPCConnect() != 0) {
    state.SkipWithError("no stream link to simstub");
  } else {
    ReadBlock1Batch(state);
  }
  FSUIPCClose();
  platform::KillProcess(stub);
}
BENCHMARK(Block1Stream)->UseRealTime();

// The same batch through simbridge beside a simulator's server window: the
// bench script starts both under wine and names the bridge in ZEMSIM_BRIDGE.
void Block1Bridge(benchmark::State& state) {
  const char* bridge = std::getenv("ZEMSIM_BRIDGE");
  if (bridge == nullptr) {
    state.SkipWithError("ZEMSIM_BRIDGE names no bridge");
    return;
  }
  CopyText(Settings.simserver, bridge);
  SetIpcTransport(nullptr);
  if (FsuipcLock == nullptr) InitSimulatorLink();
  if (FSUIPCConnect() != 0) {
    state.SkipWithError("no link through the bridge");
  } else {
    ReadBlock1Batch(state);
  }
  FSUIPCClose();
}
BENCHMARK(Block1Bridge)->UseRealTime();

// The same bytes each way as the Block 1 batch, echoed by a thread.
void TcpRoundTripFloor(benchmark::State& state) {
  const uint32_t length = block1ListLength != 0 ? block1ListLength : 1024;
  platform::SocketHandle listener = platform::TcpListen(0x7F000001, 0);
  std::thread echo([listener, length] {
    platform::SocketHandle connection = platform::TcpAccept(listener);
    std::vector<uint8_t> buffer(length);
    while (platform::ReceiveAll(connection, buffer.data(), length, 10000) == platform::IoStatus::Ok &&
           platform::SendAll(connection, buffer.data(), length, 10000) == platform::IoStatus::Ok) {
    }
    platform::CloseSocket(connection);
  });
  platform::IoStatus status = platform::IoStatus::Error;
  platform::SocketHandle client = platform::TcpConnect(0x7F000001, platform::LocalPort(listener), 1000, status);
  std::vector<uint8_t> buffer(length, 0x5A);
  for (auto _ : state) {
    if (platform::SendAll(client, buffer.data(), length, 1000) != platform::IoStatus::Ok ||
        platform::ReceiveAll(client, buffer.data(), length, 1000) != platform::IoStatus::Ok) {
      state.SkipWithError("echo failed");
      break;
    }
  }
  state.SetLabel(std::to_string(length) + " bytes each way");
  platform::CloseSocket(client);
  echo.join();
  platform::CloseSocket(listener);
}
BENCHMARK(TcpRoundTripFloor)->UseRealTime();

// Each line opens, appends to and closes the log file.
void LogLine(benchmark::State& state) {
  std::filesystem::current_path(FreshRunDirectory("log"));
  for (auto _ : state) Log("Monitor() - a line of a typical length for this log, with a number 1234\n");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(LogLine)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  SetBenchProgram(argv[0]);
  std::filesystem::current_path(FreshRunDirectory("exchange"));  // the node's log lines go there
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
