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

#include "flight_model.h"
#include "ipc/link.h"
#include "ipc/server.h"
#include "ipc/stream_transport.h"
#include "platform/platform.h"
#include "platform/server.h"
#include "simlink/hot_keys.h"
#include "wire/bytes.h"

namespace {

struct Options {
  std::string address = "127.0.0.1";
  uint16_t port = 9300;
  std::string plan;
  bool window = true;
  bool quietWrites = false;
  bool stamps = false;
  uint32_t periodMs = 100;
  uint32_t frameMs = 0;
};

OffsetSpace space;
std::atomic<bool> stalled{false};
std::atomic<bool> flying{true};
std::mutex outputLock;
std::mutex countLock;
std::map<uint32_t, uint64_t> writesAt;  // the clients' writes, counted per offset
bool stamps = false;

void Say(const std::string& line) {
  std::string text = line;
  if (stamps) {
    // The wall-clock time in milliseconds, for whoever times the writes.
    text = std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count()) +
           " " + text;
  }
  std::lock_guard<std::mutex> guard(outputLock);
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

std::string Hex(const uint8_t* data, uint32_t size) {
  std::string text;
  char byte[4];
  for (uint32_t i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", data[i]);
    text += byte;
  }
  return text;
}

void Usage(std::FILE* to) {
  std::fputs(
      "usage: simstub [--address A] [--port P] [--plan FILE] [--no-window] [--quiet-writes] [--period MS]\n"
      "               [--frame-ms N] [--stamps]\n"
      "  --address A     address to serve on (default 127.0.0.1)\n"
      "  --port P        stream port (default 9300; 0 picks a free one)\n"
      "  --plan FILE     flight-plan file reported at 0x0130 (default: the shipped sample)\n"
      "  --no-window     on Windows, no simulator server window\n"
      "  --quiet-writes  do not print the clients' writes\n"
      "  --period MS     flight model step (default 100)\n"
      "  --frame-ms N    serve one request list per frame of N ms, for all clients together\n"
      "  --stamps        begin every line with the wall-clock time in milliseconds\n"
      "commands on standard input:\n"
      "  set OFFSET HEXBYTES   store bytes (e.g. set 0x0BE0 FF 3F 00 00)\n"
      "  text OFFSET WORDS     store a zero-terminated text\n"
      "  get OFFSET SIZE       print bytes\n"
      "  press [VALUE]         press the TAB hot key (press byte VALUE, default 2)\n"
      "  stall | resume        stop answering clients, and answer again\n"
      "  answer at-once | late MS | frames MS\n"
      "                        answer request lists at once, each MS late, or in frames of MS\n"
      "  freeze | fly          stop the aircraft, and fly on\n"
      "  writes OFFSET         how many writes the clients made at the offset\n"
      "  lists                 how many request lists the clients had executed\n"
      "  quit\n",
      to);
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    bool hasValue = i + 1 < argc;
    if (option == "--address" && hasValue) {
      options.address = argv[++i];
    } else if (option == "--port" && hasValue) {
      options.port = static_cast<uint16_t>(std::atoi(argv[++i]));
    } else if (option == "--plan" && hasValue) {
      options.plan = argv[++i];
    } else if (option == "--period" && hasValue) {
      options.periodMs = static_cast<uint32_t>(std::max(10, std::atoi(argv[++i])));
    } else if (option == "--frame-ms" && hasValue) {
      options.frameMs = static_cast<uint32_t>(std::max(0, std::atoi(argv[++i])));
    } else if (option == "--stamps") {
      options.stamps = true;
    } else if (option == "--no-window") {
      options.window = false;
    } else if (option == "--quiet-writes") {
      options.quietWrites = true;
    } else {
      return false;
    }
  }
  return true;
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

bool ParseNumber(const std::string& word, uint32_t& value) {
  char* end = nullptr;
  unsigned long parsed = std::strtoul(word.c_str(), &end, 0);
  if (word.empty() || *end != '\0') return false;
  value = static_cast<uint32_t>(parsed);
  return true;
}

void PressHotKey(uint8_t value) {
  for (uint32_t n = 0; n < HOT_KEY_SLOTS; ++n) {
    uint32_t slot = HOT_KEY_AREA + 4 * n;
    uint8_t character = 0;
    space.Read(slot, &character, 1);
    if (character == TAB_KEY) {
      space.Write(slot + 3, &value, 1);
      char line[64];
      std::snprintf(line, sizeof line, "press 0x%04X %u\n", slot, value);
      Say(line);
      return;
    }
  }
  Say("press: no TAB key installed\n");
}

void RunCommand(const std::string& line) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  uint32_t offset = 0;
  if (command.empty()) return;
  if (command == "set" || command == "text" || command == "get" || command == "writes") {
    std::string where;
    words >> where;
    if (!ParseNumber(where, offset)) {
      Say("error: offset\n");
      return;
    }
  }
  if (command == "set") {
    std::vector<uint8_t> bytes;
    for (std::string byte; words >> byte;) bytes.push_back(static_cast<uint8_t>(std::strtoul(byte.c_str(), nullptr, 16)));
    space.Write(offset, bytes.data(), static_cast<uint32_t>(bytes.size()));
    Say("ok\n");
  } else if (command == "text") {
    std::string rest;
    std::getline(words, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    space.Write(offset, rest.c_str(), static_cast<uint32_t>(rest.size() + 1));
    Say("ok\n");
  } else if (command == "get") {
    uint32_t size = 0;
    std::string count;
    words >> count;
    if (!ParseNumber(count, size) || size > 4096) {
      Say("error: size\n");
      return;
    }
    std::vector<uint8_t> bytes(size);
    space.Read(offset, bytes.data(), size);
    char head[48];
    std::snprintf(head, sizeof head, "get 0x%04X %u: ", offset, size);
    Say(head + Hex(bytes.data(), size) + "\n");
  } else if (command == "writes") {
    uint64_t count = 0;
    {
      std::lock_guard<std::mutex> guard(countLock);
      auto found = writesAt.find(offset);
      if (found != writesAt.end()) count = found->second;
    }
    char answer[64];
    std::snprintf(answer, sizeof answer, "writes 0x%04X %llu\n", offset, static_cast<unsigned long long>(count));
    Say(answer);
  } else if (command == "lists") {
    Say("lists " + std::to_string(space.ListsExecuted()) + "\n");
  } else if (command == "press") {
    uint32_t value = 2;
    std::string given;
    if (words >> given) ParseNumber(given, value);
    PressHotKey(static_cast<uint8_t>(value));
  } else if (command == "stall") {
    stalled = true;
    Say("stalled\n");
  } else if (command == "resume") {
    stalled = false;
    Say("resumed\n");
  } else if (command == "answer") {
    std::string how, given;
    words >> how >> given;
    uint32_t ms = 0;
    const bool timed = how == "late" || how == "frames";
    if (!(how == "at-once" || (timed && ParseNumber(given, ms) && ms > 0 && ms <= 60000))) {
      Say("error: answer at-once | late MS | frames MS\n");
      return;
    }
    space.pacer.Set(how == "late" ? Answering::Late : Answering::Frames, timed ? ms : 0);
    Say(how == "at-once" ? std::string("answering at once\n")
        : how == "late"  ? "answering " + std::to_string(ms) + " ms late\n"
                         : "answering in frames of " + std::to_string(ms) + " ms\n");
  } else if (command == "freeze") {
    flying = false;
    Say("frozen\n");
  } else if (command == "fly") {
    flying = true;
    Say("flying\n");
  } else if (command == "quit") {
    Say("bye\n");
    platform::ExitProcess(0);
  } else {
    Say("error: unknown command " + command + "\n");
  }
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
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    Usage(stderr);
    return 2;
  }
  if (options.plan.empty()) options.plan = DefaultPlan(argv[0]);
  stamps = options.stamps;
  space.pacer.Set(Answering::Frames, options.frameMs);

  InitialiseOffsets(space, options.plan);
  space.onWrite = [quiet = options.quietWrites](uint32_t offset, const uint8_t* data, uint32_t size) {
    {
      std::lock_guard<std::mutex> guard(countLock);
      ++writesAt[offset];
    }
    if (quiet) return;
    char head[48];
    std::snprintf(head, sizeof head, "write 0x%04X %u: ", offset, size);
    Say(head + Hex(data, size) + "\n");
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
  char banner[128];
  std::snprintf(banner, sizeof banner, "simstub: serving on %s:%u\n", options.address.c_str(),
                platform::LocalPort(listener));
  Say(banner);
  Say("simstub: flight plan " + options.plan + "\n");

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

  std::thread([period = options.periodMs] {
    for (;;) {
      platform::SleepMs(period);
      if (flying) AdvanceFlight(space, period / 1000.0);
    }
  }).detach();

  for (std::string line; std::getline(std::cin, line);) RunCommand(line);
  // Without input (started in the background) it serves on until it is ended.
  for (;;) platform::SleepMs(3600 * 1000);
}
