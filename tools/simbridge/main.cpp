// simbridge: runs beside the simulator and serves its request-list protocol
// over a TCP stream, so that a node on another PC reaches it (simserver).
// Each list a client sends is checked, then passed unchanged through the
// simulator's server window exactly as the node's own window transport
// passes it, and the executed list goes back. Only the clients its
// configuration allows may connect: it hands them the simulator's whole
// offset space.

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge_config.h"
#include "bridge/bridge_listen.h"
#include "ipc/link.h"
#include "ipc/records.h"
#include "ipc/server.h"
#include "ipc/window_transport.h"
#include "net/ipv4_text.h"
#include "platform/platform.h"
#include "process/char_source.h"
#include "process/log.h"
#include "process/print.h"
#include "process/text.h"

namespace {

BridgeSettings settings;
WindowTransport window;
std::atomic<bool> linkUp{false};

// Lists are served one at a time, in the order they arrive.
class ArrivalOrder {
 public:
  void Enter() {
    std::unique_lock<std::mutex> guard(mutex_);
    const uint64_t ticket = next_++;
    turn_.wait(guard, [&] { return serving_ == ticket; });
  }
  void Leave() {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      ++serving_;
    }
    turn_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable turn_;
  uint64_t next_ = 0;
  uint64_t serving_ = 0;
};
ArrivalOrder simulatorTurn;

std::atomic<uint64_t> listsServed{0};
std::atomic<uint64_t> bytesServed{0};

void Say(const std::string& text) { BridgeSay(text); }

// ---- Configuration -----------------------------------------------------------

// "SimBridge.cfg" in the current directory.
void ReadBridgeConfig() {
  std::FILE* file = std::fopen("SimBridge.cfg", "r");
  if (file == nullptr) {
    Say("No SimBridge.cfg: serving 127.0.0.1:9300 to this PC only\n");
    return;
  }
  FileCharSource source(file);
  ReadBridgeConfigFrom(source, settings);
  std::fclose(file);
}

// ---- The simulator -------------------------------------------------------------

// Opens the link whenever it is down, once a second; the bridge never ends
// for want of a simulator.
[[noreturn]] void KeepLinkOpen() {
  for (;;) {
    if (!linkUp) {
      simulatorTurn.Enter();
      uint32_t code = 0;
      if (IpcOpen(code)) {
        linkUp = true;
        Say("Simulator link up\n");
      }
      simulatorTurn.Leave();
    }
    platform::SleepMs(1000);
  }
}

// One client's list: checked, then through the server window. While there is
// no simulator, the answer is 0 at once, so that the node reports the
// simulator lost and reconnects as it would beside a simulator of its own.
bool ServeList(const std::string& client, uint8_t* list, uint32_t length, uint32_t& answer) {
  if (const char* wrong = CheckRequestList(list, length)) {
    Say("List from " + client + " refused (" + wrong + "); connection closed\n");
    return false;
  }
  answer = 0;
  simulatorTurn.Enter();
  if (linkUp) {
    uint32_t code = 0;
    if (!IpcExecuteList(list, length, answer, code)) {
      IpcClose();
      linkUp = false;
      answer = 0;
      Say("Simulator link down (code " + std::to_string(code) + ")\n");
    }
  }
  simulatorTurn.Leave();
  ++listsServed;
  bytesServed += length;
  return true;
}

[[noreturn]] void CountEveryMinute() {
  uint64_t lists = 0;
  uint64_t bytes = 0;
  for (;;) {
    platform::SleepMs(60000);
    uint64_t nowLists = listsServed;
    uint64_t nowBytes = bytesServed;
    if (nowLists != lists) {
      char line[160];
      FormatText(line, sizeof line, "Last minute: %llu lists, %llu bytes, %u clients\n",
                 static_cast<unsigned long long>(nowLists - lists), static_cast<unsigned long long>(nowBytes - bytes),
                 ClientsNow());
      Say(line);
    }
    lists = nowLists;
    bytes = nowBytes;
  }
}

void End() {
  Say("simbridge ends\n");
  simulatorTurn.Enter();
  IpcClose();
  platform::ExitProcess(0);
}

constexpr const char* HELP =
    "usage: simbridge [--help]\n"
    "  Serves the simulator's request lists over TCP to a node on another PC\n"
    "  (the node's simserver HOST:PORT).\n"
    "  --help  print this text\n"
    "Reads SimBridge.cfg in the current folder (listen ADDRESS:PORT, allow ADDRESS[/BITS])\n"
    "and logs into SimBridge.log there. Ctrl-C ends it.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(HELP, stdout);
    return 0;
  }
  platform::OnConsoleBreak(End);
  OpenLog("SimBridge.log");
  Say("simbridge: the simulator's request lists over TCP\n");
  ReadBridgeConfig();
  platform::SocketHandle listener = ListenOrEnd(settings);
  for (const Subnet& subnet : settings.allowed) {
    int bits = 0;
    for (uint32_t mask = subnet.mask; mask != 0; mask <<= 1) ++bits;
    Say("Allowed: " + DottedDecimal(subnet.address) + "/" + std::to_string(bits) + "\n");
  }
  // One attempt per list, within the node's own wait for an answer: the
  // node, not the bridge, decides when to try again.
  IpcTiming.sendAttempts = 1;
  IpcTiming.sendTimeoutMs = 1800;
  SetIpcTransport(&window);
  std::thread(KeepLinkOpen).detach();
  std::thread(CountEveryMinute).detach();
  AcceptClients(listener, settings, ServeList);
}
