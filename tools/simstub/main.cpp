// simstub: a stand-in simulator for development, demos and tests. It holds a
// 64 KiB offset space, flies a simple aircraft in it, and serves it over the
// node's stream transport (and, on Windows, behind the simulator's server
// window). Every write a client makes is printed as one line; commands on
// standard input steer it while it runs.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/options.h"
#include "common/output.h"
#include "flight_model.h"
#include "ipc/link.h"
#include "ipc/server.h"
#include "ipc/stream_transport.h"
#include "platform/platform.h"
#include "platform/server.h"
#include "replay.h"
#include "simstub.h"
#include "wire/bytes.h"

OffsetSpace space;
std::atomic<bool> stalled{false};
std::atomic<bool> flying{true};
std::mutex countLock;
std::map<uint32_t, uint64_t> writesAt;

namespace {

struct Options {
  std::string address = "127.0.0.1";
  uint16_t port = 9300;
  std::string plan;
  bool window = true;
  bool quietWrites = false;
  uint32_t periodMs = 100;
  uint32_t frameMs = 0;
  ReplayOptions replay;  // replay.file empty: the flight model flies
};
Options options;

const std::vector<ToolOption> OPTIONS = {
    {"--address", "A", "address to serve on (default 127.0.0.1)",
     [](const std::string& value) { options.address = value; return true; }},
    {"--port", "P", "stream port (default 9300; 0 picks a free one)",
     [](const std::string& value) { options.port = static_cast<uint16_t>(std::atoi(value.c_str())); return true; }},
    {"--plan", "FILE", "flight-plan file reported at 0x0130 (default: the shipped sample)",
     [](const std::string& value) { options.plan = value; return true; }},
    {"--no-window", "", "on Windows, no simulator server window", [](const std::string&) { options.window = false; return true; }},
    {"--quiet-writes", "", "do not print the clients' writes", [](const std::string&) { options.quietWrites = true; return true; }},
    {"--period", "MS", "flight model step (default 100)",
     [](const std::string& value) { options.periodMs = static_cast<uint32_t>(std::max(10, std::atoi(value.c_str()))); return true; }},
    {"--frame-ms", "N", "serve one request list per frame of N ms, for all clients together",
     [](const std::string& value) { options.frameMs = static_cast<uint32_t>(std::max(0, std::atoi(value.c_str()))); return true; }},
    {"--stamps", "", "begin every line with the wall-clock time in milliseconds",
     [](const std::string&) { SetStamps(true); return true; }},
    {"--replay", "FILE", "serve a node's recording as it was at each moment instead of flying",
     [](const std::string& value) { options.replay.file = value; return true; }},
    {"--speed", "X", "replay X times as fast (default 1)",
     [](const std::string& value) { options.replay.speed = std::atof(value.c_str()); return true; }},
    {"--from", "SECONDS", "replay from this moment of the recording on (default 0)",
     [](const std::string& value) { options.replay.fromSeconds = std::atof(value.c_str()); return true; }},
    {"--loop", "", "replay over and over", [](const std::string&) { options.replay.loop = true; return true; }},
};

void Usage(std::FILE* to) {
  PrintToolOptions(to, "simstub", OPTIONS);
  std::fputs(ToolCommandsHelp(COMMANDS).c_str(), to);
}

// The sample plan beside the program (the build, an unpacked package), else
// where an installed package keeps its shared files (ZEMSIM_SHARED_DATA).
std::string DefaultPlan(const char* program) {
  const std::filesystem::path sample = std::filesystem::path("flightplans") / "KSEA-KPDX.pln";
  std::filesystem::path beside = std::filesystem::absolute(program).parent_path() / sample;
  std::error_code error;
  if (std::filesystem::exists(beside, error) || *ZEMSIM_SHARED_DATA == '\0') return beside.string();
  std::filesystem::path installed = std::filesystem::path(ZEMSIM_SHARED_DATA) / sample;
  return std::filesystem::exists(installed, error) ? installed.string() : beside.string();
}

intptr_t ExecuteSharedList(const char* atomName, intptr_t position, void*) {
  while (stalled) platform::SleepMs(10);
  if (position < 0 || position >= static_cast<intptr_t>(IPC_LIST_LIMIT)) return 0;
  platform::SharedBuffer buffer;
  if (!platform::OpenSharedBuffer(atomName, buffer)) return 0;
  space.Execute(buffer.view + position, IPC_LIST_LIMIT - static_cast<uint32_t>(position));
  platform::CloseSharedBuffer(buffer);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    Usage(stdout);
    return 0;
  }
  if (!ParseToolOptions(argc, argv, OPTIONS)) {
    Usage(stderr);
    return 2;
  }
  if (options.plan.empty()) options.plan = DefaultPlan(argv[0]);
  space.pacer.Set(Answering::Frames, options.frameMs);

  const bool replaying = !options.replay.file.empty();
  if (!replaying) InitialiseOffsets(space, options.plan);
  space.onWrite = [quiet = options.quietWrites](uint32_t offset, const uint8_t* data, uint32_t size) {
    {
      std::lock_guard<std::mutex> guard(countLock);
      ++writesAt[offset];
    }
    if (quiet) return;
    Say(Format("write 0x%04X %u: ", offset, size) + Hex(data, size) + "\n");
  };

  uint32_t address = 0;
  if (!platform::ResolveIpv4(options.address.c_str(), address)) {
    std::fprintf(stderr, "simstub: cannot resolve %s\n", options.address.c_str());
    return 1;
  }
  platform::SocketHandle listener = platform::TcpListen(address, options.port);
  if (listener == platform::NO_SOCKET) {
    std::fprintf(stderr, "simstub: cannot listen on %s:%u\n", options.address.c_str(), options.port);
    return 1;
  }
  Say(Format("simstub: serving on %s:%u\n", options.address.c_str(), platform::LocalPort(listener)));
  if (replaying) {
    std::string error;
    if (!StartReplay(space, options.replay, [](const std::string& line) { Say(line); }, error)) {
      std::fprintf(stderr, "simstub: cannot replay %s: %s\n", options.replay.file.c_str(), error.c_str());
      return 1;
    }
  } else {
    Say("simstub: flight plan " + options.plan + "\n");
  }

  std::thread([listener] {
    for (;;) {
      platform::SocketHandle connection = platform::TcpAccept(listener);
      if (connection == platform::NO_SOCKET) {
        platform::SleepMs(100);
        continue;
      }
      std::thread([connection] { ServeStreamConnection(space, connection, stalled); }).detach();
    }
  }).detach();

  if (options.window && platform::HasWindowMessaging()) {
    std::thread([] {
      if (!platform::ServeWindowMessages("UIPCMAIN", "FsasmLib:IPC", ExecuteSharedList, nullptr)) {
        Say("simstub: no server window\n");
      }
    }).detach();
    Say("simstub: server window UIPCMAIN\n");
  }

  if (!replaying) std::thread([period = options.periodMs] {
    for (;;) {
      platform::SleepMs(period);
      if (flying) AdvanceFlight(space, period / 1000.0);
    }
  }).detach();

  for (std::string line; std::getline(std::cin, line);) RunToolCommand(COMMANDS, line);
  // Without input (started in the background) it serves on until it is ended.
  for (;;) platform::SleepMs(3600 * 1000);
}
