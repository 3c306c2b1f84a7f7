// fgbridge: serves the simulator's request-list protocol over TCP with
// FlightGear behind it, so that the node (simserver HOST:PORT) flies with
// FlightGear as with any simulator. It keeps a view of FlightGear's state,
// refreshed from FlightGear's property server as fast as FlightGear answers
// (once a frame), and executes each list against that view: reads come
// from the view, writes go into it and, where FlightGear has the thing
// written, on to FlightGear's properties. It also fills the traffic tables
// from FlightGear's AI aircraft and writes the route manager's route as a
// flight-plan file whose path the node reads.

#include <atomic>
#include <chrono>
#include <deque>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge_config.h"
#include "bridge/bridge_listen.h"
#include "fg_mapping.h"
#include "fg_props.h"
#include "fg_tables.h"
#include "ipc/records.h"
#include "ipc/server.h"
#include "ipc/stream_transport.h"
#include "net/ipv4_text.h"
#include "platform/platform.h"
#include "process/char_source.h"
#include "process/log.h"
#include "process/print.h"
#include "process/text.h"

namespace {

struct Options {
  std::string flightgear = "127.0.0.1:5401";  // FlightGear's --telnet port
  std::string plans = "fgbridge-plans";       // where the route's flight-plan file is written
};

BridgeSettings bridge;
Options options;
OffsetSpace view;
std::atomic<bool> linkUp{false};
std::atomic<uint64_t> listsServed{0};
std::atomic<uint64_t> refreshes{0};
std::atomic<double> frameRate{0};

// The node's writes that FlightGear is to take, in their order, and for
// each property the number of the last one: a refresh that was asked for
// before it must not put the old value back.
std::mutex setsLock;
std::vector<std::pair<std::string, std::string>> pendingSets;
uint64_t setsQueued = 0;
std::map<std::string, uint64_t> lastSetOf;

void Say(const std::string& text) { BridgeSay(text); }

// ---- FlightGear to the view ------------------------------------------------------

void WriteField(uint32_t offset, const uint8_t* bytes, uint32_t size) { view.Write(offset, bytes, size); }

void PutConstants() {
  ReportCurrentVersions(view);
  for (const ReadMapping& mapping : ReadMappings()) {
    if (mapping.form != ReadForm::Constant) continue;
    uint8_t field[8] = {};
    EncodeRead(mapping, "", field);
    WriteField(mapping.offset, field, mapping.width);
  }
}

// Refreshes on their way to FlightGear, oldest first: FlightGear answers a
// request a frame or two after it came, but one in every frame, so that
// several in flight keep the view at FlightGear's frame rate. Each holds the
// number of the node's last write sent before it.
std::deque<uint64_t> refreshesInFlight;
constexpr size_t REFRESHES_IN_FLIGHT = 3;
uint64_t setsBeforeLastRefresh = 0;

// The node's pending writes, then a request for every mapped property.
bool SendRefresh(FgProps& props, const std::vector<std::string>& asked) {
  std::vector<std::pair<std::string, std::string>> sets;
  uint64_t upTo = 0;
  {
    std::lock_guard<std::mutex> guard(setsLock);
    sets.swap(pendingSets);
    upTo = setsQueued;
  }
  for (const auto& [path, value] : sets) {
    if (!props.Set(path, value)) return false;
  }
  if (!props.SendGets(asked)) return false;
  refreshesInFlight.push_back(upTo);
  return true;
}

// The answers to the oldest refresh into the view.
bool ReceiveRefresh(FgProps& props, const std::vector<std::string>& asked) {
  std::vector<std::string> values;
  if (!props.ReceiveGets(asked.size(), values, 5000)) return false;
  // A property the node wrote less than a whole refresh before this one
  // may have been read before the write arrived: a later refresh has it.
  const uint64_t settled = setsBeforeLastRefresh;
  setsBeforeLastRefresh = refreshesInFlight.front();
  refreshesInFlight.pop_front();
  frameRate = std::strtod(values.back().c_str(), nullptr);

  std::map<std::string, const std::string*> byPath;
  for (size_t i = 0; i + 1 < asked.size(); ++i) byPath[asked[i]] = &values[i];
  std::lock_guard<std::mutex> guard(setsLock);
  for (const ReadMapping& mapping : ReadMappings()) {
    if (mapping.property == nullptr) continue;
    auto written = lastSetOf.find(mapping.property);
    if (written != lastSetOf.end() && written->second > settled) continue;
    uint8_t field[32] = {};
    view.Read(mapping.offset, field, mapping.width);
    EncodeRead(mapping, *byPath[mapping.property], field);
    WriteField(mapping.offset, field, mapping.width);
  }
  ++refreshes;
  return true;
}

// Every refresh on its way answered: the lanes free for other requests.
bool DrainRefreshes(FgProps& props, const std::vector<std::string>& asked) {
  while (!refreshesInFlight.empty()) {
    if (!ReceiveRefresh(props, asked)) return false;
  }
  return true;
}

[[noreturn]] void KeepViewFresh() {
  std::string host;
  uint16_t port = 0;
  uint32_t address = 0;
  const bool usable = ParseSimServer(options.flightgear.c_str(), host, port) && platform::ResolveIpv4(host.c_str(), address);
  std::vector<std::string> asked = ViewProperties();
  asked.push_back("/sim/frame-rate");
  FgProps props;
  std::string problemShown;
  auto nextTables = std::chrono::steady_clock::now();
  for (;;) {
    if (!props.connected()) {
      linkUp = false;
      refreshesInFlight.clear();
      std::string problem = usable ? "" : "\"" + options.flightgear + "\" is not HOST:PORT";
      if (usable && props.Connect(address, port, asked.size(), problem) && SendRefresh(props, asked) &&
          DrainRefreshes(props, asked) && RefreshTraffic(props, view) && RefreshRoute(props, view, options.plans)) {
        linkUp = true;
        problemShown.clear();
        Say("FlightGear link up (" + options.flightgear + ")\n");
        continue;
      }
      props.Close();
      if (problem.empty()) problem = "it closed the connection";
      if (problem != problemShown) Say("FlightGear cannot be reached at " + options.flightgear + ": " + problem + "\n");
      problemShown = problem;
      platform::SleepMs(1000);
      continue;
    }
    bool ok = true;
    while (ok && refreshesInFlight.size() < REFRESHES_IN_FLIGHT) ok = SendRefresh(props, asked);
    ok = ok && ReceiveRefresh(props, asked);
    if (ok && std::chrono::steady_clock::now() >= nextTables) {
      ok = DrainRefreshes(props, asked) && RefreshTraffic(props, view) && RefreshRoute(props, view, options.plans);
      nextTables = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    }
    if (!ok) {
      props.Close();
      linkUp = false;
      Say("FlightGear link down\n");
    }
  }
}

// ---- The node's lists ---------------------------------------------------------------

// The writes of the list being executed on this thread.
thread_local std::vector<std::pair<uint32_t, uint32_t>> writtenRanges;

void QueueWritesFor(const std::vector<std::pair<uint32_t, uint32_t>>& ranges) {
  std::vector<uint8_t> space(OffsetSpace::SIZE);
  view.Read(0, space.data(), OffsetSpace::SIZE);
  std::lock_guard<std::mutex> guard(setsLock);
  for (const WriteMapping& mapping : WriteMappings()) {
    bool touched = false;
    for (const auto& [offset, size] : ranges) {
      const uint32_t end = offset + size;
      const bool main = offset < mapping.offset + mapping.width && mapping.offset < end;
      const bool extra = mapping.extraOffset != 0 && offset < mapping.extraOffset + 2u && mapping.extraOffset < end;
      touched = touched || main || extra;
    }
    if (!touched) continue;
    for (auto& set : DecodeWrite(mapping, space.data())) {
      lastSetOf[set.first] = ++setsQueued;
      pendingSets.push_back(std::move(set));
    }
  }
}

// Checked, then executed against the view. While FlightGear is away the
// answer is 0 at once, so that the node reports the simulator lost and
// reconnects as beside a simulator of its own.
bool ServeList(const std::string& client, uint8_t* list, uint32_t length, uint32_t& answer) {
  if (const char* wrong = CheckRequestList(list, length)) {
    Say("List from " + client + " refused (" + wrong + "); connection closed\n");
    return false;
  }
  answer = 0;
  ++listsServed;
  if (!linkUp) return true;
  writtenRanges.clear();
  view.Execute(list, length);
  answer = 1;
  if (!writtenRanges.empty()) QueueWritesFor(writtenRanges);
  return true;
}

[[noreturn]] void CountEveryMinute() {
  uint64_t lists = 0, views = 0;
  for (;;) {
    platform::SleepMs(60000);
    const uint64_t nowLists = listsServed, nowViews = refreshes;
    char line[200];
    FormatText(line, sizeof line, "Last minute: %llu lists, the view refreshed %.1f times/s, FlightGear at %.1f frames/s\n",
               static_cast<unsigned long long>(nowLists - lists), static_cast<double>(nowViews - views) / 60.0,
               frameRate.load());
    Say(line);
    lists = nowLists;
    views = nowViews;
  }
}

bool ReadConfiguration() {
  std::FILE* file = std::fopen("FgBridge.cfg", "r");
  if (file == nullptr) {
    Say("No FgBridge.cfg: serving 127.0.0.1:9300 to this PC only, FlightGear at 127.0.0.1:5401\n");
    return true;
  }
  FileCharSource source(file);
  ReadBridgeConfigFrom(source, bridge, [](const char* key, const char* value) {
    if (std::strcmp(key, "flightgear") == 0) {
      options.flightgear = value;
      return true;
    }
    if (std::strcmp(key, "plans") == 0) {
      options.plans = value;
      return true;
    }
    return false;
  });
  std::fclose(file);
  return true;
}

void End() {
  Say("fgbridge ends\n");
  platform::ExitProcess(0);
}

constexpr const char* HELP =
    "usage: fgbridge [--mapping | --help]\n"
    "  Serves the simulator's request lists over TCP with FlightGear behind them.\n"
    "  --mapping  print the offsets the node reads and writes, with FlightGear's properties\n"
    "  --help     print this text\n"
    "Reads FgBridge.cfg in the current folder (listen ADDRESS:PORT, allow ADDRESS[/BITS],\n"
    "flightgear HOST:PORT, plans FOLDER) and logs into FgBridge.log there.\n"
    "Ctrl-C ends it.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(HELP, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--mapping") == 0) {
    std::fputs(MappingTable().c_str(), stdout);
    return 0;
  }
  platform::OnConsoleBreak(End);
  OpenLog("FgBridge.log");
  Say("fgbridge: the simulator's request lists over TCP, with FlightGear behind them\n");
  ReadConfiguration();
  platform::SocketHandle listener = ListenOrEnd(bridge);
  PutConstants();
  view.onWrite = [](uint32_t offset, const uint8_t*, uint32_t size) { writtenRanges.push_back({offset, size}); };
  std::thread(KeepViewFresh).detach();
  std::thread(CountEveryMinute).detach();
  AcceptClients(listener, bridge, ServeList);
}
