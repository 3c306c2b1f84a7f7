// The node beside a simulator we did not write: FlightGear, headless under
// Xvfb with software rendering, behind fgbridge, with commgr on loopback.
// What commgr decodes is compared with FlightGear's own properties, read
// over its HTTP interface at the same moment (the simulation frozen).
// FlightGear starts once for all the cases; they run in order.

#include <chrono>
#include <cmath>
#include <map>
#include <sstream>

#include "platform/child_process.h"
#include "record/recorder.h"
#include "record/recording_reader.h"
#include "support/files.h"
#include "support/node_peers.h"
#include "support/processes.h"
#include "support/replay_check.h"
#include "support/system_tools.h"

namespace fs = std::filesystem;

namespace {

constexpr uint16_t TELNET_PORT = 5431;
constexpr uint16_t HTTP_PORT = 5481;

// FlightGear's value at the path ("" when it has none), over its HTTP interface.
std::string Property(const std::string& path) {
  platform::IoStatus status;
  platform::SocketHandle socket = platform::TcpConnect(0x7F000001, HTTP_PORT, 2000, status);
  if (socket == platform::NO_SOCKET) return "";
  const std::string request = "GET /json" + path + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
  platform::SendAll(socket, reinterpret_cast<const uint8_t*>(request.data()), request.size(), 2000);
  std::string reply;
  uint8_t buffer[4096];
  size_t got = 0;
  while (platform::ReceiveSome(socket, buffer, sizeof buffer, 5000, got) == platform::IoStatus::Ok) {
    reply.append(reinterpret_cast<char*>(buffer), got);
  }
  platform::CloseSocket(socket);
  const size_t at = reply.find("\"value\":");
  if (at == std::string::npos) return "";
  size_t from = at + 8, to = from;
  if (reply[from] == '"') return reply.substr(from + 1, reply.find('"', from + 1) - from - 1);
  while (to < reply.size() && reply[to] != ',' && reply[to] != '}') ++to;
  return reply.substr(from, to - from);
}
// NaN when FlightGear gives none, so that no comparison holds.
double Number(const std::string& path) {
  const std::string value = Property(path);
  return value.empty() ? NAN : std::strtod(value.c_str(), nullptr);
}

// Sets properties over FlightGear's property server, in their order.
bool SetProperties(const std::vector<std::pair<std::string, std::string>>& sets) {
  platform::IoStatus status;
  platform::SocketHandle socket = platform::TcpConnect(0x7F000001, TELNET_PORT, 2000, status);
  if (socket == platform::NO_SOCKET) return false;
  std::string command = "data\r\n";
  for (const auto& [path, value] : sets) command += "set " + path + " " + value + "\r\n";
  command += "quit\r\n";
  const bool sent = platform::SendAll(socket, reinterpret_cast<const uint8_t*>(command.data()), command.size(), 2000) ==
                    platform::IoStatus::Ok;
  platform::SleepMs(200);  // the line reaches FlightGear's next frame before the socket closes
  platform::CloseSocket(socket);
  return sent;
}
bool SetProperty(const std::string& path, const std::string& value) { return SetProperties({{path, value}}); }

// The simulation stopped (or running again): its clock and everything it drives.
bool Freeze(bool frozen) {
  const char* value = frozen ? "true" : "false";
  return SetProperties({{"/sim/freeze/clock", value}, {"/sim/freeze/master", value}}) &&
         Eventually([&] { return Property("/sim/freeze/clock") == value; }, 10000);
}

// "name=value" fields of the last "  values FIRST=..." line, by name.
std::map<std::string, std::string> Fields(const std::string& output, const std::string& first) {
  std::map<std::string, std::string> fields;
  std::istringstream words(first + "=" + LastAfter(output, "  values " + first + "="));
  for (std::string word; words >> word;) {
    const size_t equals = word.find('=');
    if (equals != std::string::npos) fields[word.substr(0, equals)] = word.substr(equals + 1);
  }
  return fields;
}

class FlightGear : public NodeWithPeers {
 protected:
  static void SetUpTestSuite() {
    if (!fs::exists("/usr/games/fgfs") || !fs::exists("/usr/bin/Xvfb")) {
      skipped_ = "FlightGear or Xvfb is not installed (scripts/install-packages flightgear xvfb)";
      return;
    }
    platform::AdoptOrphanedDescendants();
    home_ = new RunDirectory("flightgear");
    for (display_ = 91; fs::exists("/tmp/.X11-unix/X" + std::to_string(display_)); ++display_) {
    }
    xvfb_ = new ScopedChild({"/usr/bin/Xvfb", ":" + std::to_string(display_), "-screen", "0", "800x600x24", "-nolisten", "tcp"},
                            home_->path(), home_->In("xvfb.txt"));
    StartFlightGear();
  }
  static void TearDownTestSuite() {
    EndFlightGear();
    delete xvfb_;
    xvfb_ = nullptr;
    delete home_;
  }
  // FlightGear runs under dbus-run-session, which leaves it and its bus
  // behind when it is ended: adopted orphans of this process, ended by name.
  static void EndFlightGear() {
    platform::AdoptOrphanedDescendants();
    delete flightgear_;
    flightgear_ = nullptr;
    for (platform::ChildProcess child : platform::CurrentChildren()) {
      const std::string name = ReadTextFile("/proc/" + std::to_string(child.id) + "/comm");
      if (name == "fgfs\n" || name == "dbus-daemon\n") platform::KillProcess(child);
    }
  }
  static void StartFlightGear() {
    ended_ = false;
    platform::SetEnvironmentValue("DISPLAY", (":" + std::to_string(display_)).c_str());
    platform::SetEnvironmentValue("LIBGL_ALWAYS_SOFTWARE", "1");
    platform::SetEnvironmentValue("HOME", home_->path().c_str());  // FlightGear's own files there
    flightgear_ = new ScopedChild(
        {"/usr/bin/dbus-run-session", "/usr/games/fgfs", "--aircraft=c172p", "--airport=KSFO", "--in-air",
         "--altitude=3000", "--heading=280", "--vc=100", "--props=socket,bi,60,," + std::to_string(TELNET_PORT) + ",tcp",
         "--httpd=" + std::to_string(HTTP_PORT), "--ai-scenario=lead_aircraft", "--disable-sound",
         "--disable-terrasync", "--disable-real-weather-fetch", "--timeofday=noon",
         // Nothing here looks at FlightGear's picture. Drawn in full by the
         // software rasterizer it ran at 5 to 9 frames/s, and now and then
         // its frame loop stalled inside the rasterizer for good; with the
         // scene left undrawn in a small window it keeps a steady 30.
         "--geometry=320x240", "--prop:/sim/rendering/draw-mask/terrain=false",
         "--prop:/sim/rendering/draw-mask/models=false", "--prop:/sim/rendering/draw-mask/aircraft=false",
         "--prop:/sim/rendering/draw-mask/clouds=false", "--prop:/sim/frame-rate-throttle-hz=30"},
        home_->path(), home_->In("fgfs.txt"));
    const bool running = Eventually([] { return Number("/sim/frame-rate") > 0; }, 180000);
    if (!running) {
      skipped_.clear();
      startFailure_ = "FlightGear did not start within 180 s:\n" + ReadTextFile(home_->In("fgfs.txt"));
    }
  }

  // FlightGear's process (not its bus session's), 0 when there is none.
  static int64_t FlightGearId() {
    if (flightgear_ == nullptr) return 0;
    for (const std::string& id : SplitLines(ReadTextFile("/proc/" + std::to_string(flightgear_->id()) + "/task/" +
                                                         std::to_string(flightgear_->id()) + "/children"))) {
      std::istringstream ids(id);
      for (int64_t child = 0; ids >> child;) {
        if (ReadTextFile("/proc/" + std::to_string(child) + "/comm") == "fgfs\n") return child;
      }
    }
    return 0;
  }
  // Whether FlightGear's session has ended, with its exit status (kept:
  // the process can be waited for only once).
  static bool FlightGearEnded(int& code) {
    if (flightgear_ != nullptr && flightgear_->WaitForExit(0, endCode_)) {
      delete flightgear_;
      flightgear_ = nullptr;
      ended_ = true;
    }
    code = endCode_;
    return ended_;
  }
  // Running and answering over its HTTP interface.
  static bool FlightGearAnswers() {
    int code = 0;
    return flightgear_ != nullptr && !FlightGearEnded(code) &&
           Eventually([] { return !Property("/sim/frame-rate").empty(); }, 10000);
  }
  // Each thread of the process, by name, and the CPU time it took in two
  // seconds: a thread that spins shows 2.00 s.
  static std::string ThreadsAtWork(int64_t id) {
    const std::string tasks = "/proc/" + std::to_string(id) + "/task";
    const auto times = [&] {
      std::map<std::string, double> seconds;
      std::error_code ignored;
      for (const auto& task : fs::directory_iterator(tasks, ignored)) {
        const std::string stat = ReadTextFile(task.path().string() + "/stat");
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        double ticks = 0;
        for (int n = 3; fields >> field && n <= 15; ++n) {
          if (n == 14 || n == 15) ticks += std::stod(field);
        }
        const std::string name = SplitLines(ReadTextFile(task.path().string() + "/comm")).at(0);
        seconds[task.path().filename().string() + " " + name] = ticks / 100.0;
      }
      return seconds;
    };
    const auto before = times();
    platform::SleepMs(2000);
    std::string report;
    for (const auto& [thread, seconds] : times()) {
      const auto was = before.find(thread);
      char line[160];
      std::snprintf(line, sizeof line, "  %-32s %.2f s\n", thread.c_str(), was == before.end() ? seconds : seconds - was->second);
      report += line;
    }
    return report;
  }
  // What a case that finds FlightGear gone shows: how it ended, or where it
  // hangs, and the last of what it wrote.
  static std::string FlightGearEvidence() {
    std::string evidence;
    int code = 0;
    if (FlightGearEnded(code)) {
      evidence = code > 128 ? "FlightGear was killed by signal " + std::to_string(code - 128) + "\n"
                            : "FlightGear ended with exit status " + std::to_string(code) + "\n";
    } else if (flightgear_ == nullptr) {
      evidence = "FlightGear was not started\n";
    } else if (const int64_t id = FlightGearId(); id != 0) {
      evidence = "FlightGear (process " + std::to_string(id) + ") runs but does not answer; its threads' CPU time in 2 s:\n" +
                 ThreadsAtWork(id);
      std::string stacks;
      if (fs::exists("/usr/bin/gdb")) {
        RunToEnd({"gdb", "-p", std::to_string(id), "-batch", "-ex", "thread apply all bt 12"}, &stacks, 120000);
        evidence += "its threads:\n" + stacks;
      }
    }
    return evidence + "FlightGear's output (" + home_->In("fgfs.txt") + "), the last lines:\n" +
           TailOfFile(home_->In("fgfs.txt"), 40);
  }

  void SetUp() override {
    if (!skipped_.empty()) GTEST_SKIP() << skipped_;
    ASSERT_TRUE(startFailure_.empty()) << startFailure_;
    // One FlightGear that ended or hangs costs the case that finds it so,
    // not every case after it.
    if (!FlightGearAnswers()) {
      const std::string evidence = goneReported_ ? "" : FlightGearEvidence();
      EndFlightGear();
      StartFlightGear();
      ASSERT_TRUE(startFailure_.empty()) << startFailure_;
      if (!goneReported_) FAIL() << "FlightGear was gone when this case began; started again for the next case.\n" << evidence;
      std::printf("[ FlightGear ] started again: the case before found it gone\n");
    }
    goneReported_ = false;
    NodeWithPeers::SetUp();
    if (HasFatalFailure()) return;
    WriteWholeFile(In("FgBridge.cfg"), "listen 127.0.0.1:0\nflightgear 127.0.0.1:" + std::to_string(TELNET_PORT) +
                                           "\nplans " + In("plans") + "\n");
    bridge_ = std::make_unique<ScopedChild>(std::vector<std::string>{ProgramBeside("fgbridge")}, directory_, In("fgbridge.txt"));
    ASSERT_TRUE(WaitForFileText(In("fgbridge.txt"), "FlightGear link up", 30000)) << ReadTextFile(In("fgbridge.txt"));
    const std::string bridge = ReadTextFile(In("fgbridge.txt"));
    const uint16_t port = static_cast<uint16_t>(std::stoi(bridge.substr(bridge.find("Listening on 127.0.0.1:") + 23)));
    WriteWholeFile(In("ZemSim.cfg"), "ipaddress 127.0.0.1\nport " + std::to_string(port_) + "\nsimserver 127.0.0.1:" +
                                         std::to_string(port) + "\nzemkey none\n");
    StartNode();
    ASSERT_TRUE(WaitForConsoleCount("Connected to simulator\n", 1, 30000)) << Console();
  }
  // As the peers' fixture ends its processes, but FlightGear and its
  // screen stay for the next case.
  void TearDown() override {
    if (HasFailure()) {
      std::printf("%s", OutputsIn(directory_).c_str());
      if (!FlightGearAnswers()) {
        std::printf("FlightGear is gone:\n%s", FlightGearEvidence().c_str());
        goneReported_ = true;  // the next case starts it again, and does not fail for it
      }
    }
    Freeze(false);
    bridge_.reset();
    node_.reset();
    commgr_.reset();
    stub_.reset();
    EndChildrenExcept({xvfb_ != nullptr ? xvfb_->id() : 0, flightgear_ != nullptr ? flightgear_->id() : 0});
  }
  // A whole polling cycle that commgr received after now.
  void FreshBlocks() {
    for (const char* block : {"recv block3 seq=", "recv block1 seq=", "recv block2 seq=", "recv block3 seq="}) {
      ASSERT_TRUE(commgr_->WaitForNew(block, 20000)) << block;
    }
  }

  std::unique_ptr<ScopedChild> bridge_;
  static inline RunDirectory* home_ = nullptr;
  static inline ScopedChild* xvfb_ = nullptr;
  static inline ScopedChild* flightgear_ = nullptr;
  static inline bool ended_ = false;
  static inline bool goneReported_ = false;
  static inline int endCode_ = 0;
  static inline int display_ = 0;
  static inline std::string skipped_;
  static inline std::string startFailure_;
};

// Frozen, FlightGear holds still while fgbridge's view (a few frames behind
// it) and the node's next blocks catch up; then they must agree.
TEST_F(FlightGear, BlocksAgreeWithFlightGearsOwnProperties) {
  ASSERT_TRUE(Freeze(true));
  std::string report;
  const auto disagreements = [&] {
    FreshBlocks();
    const std::string output = commgr_->Output();
    const auto b1 = Fields(output, "rpm");
    const auto b2 = Fields(output, "flaps");
    const auto b3 = Fields(output, "lat");
    struct Check {
      const char* name;
      const char* shownKey;
      const std::map<std::string, std::string>& shown;
      const char* property;
      double within;
    };
    const Check checks[] = {
        {"latitude", "lat", b3, "/position/latitude-deg", 1e-5},
        {"longitude", "lon", b3, "/position/longitude-deg", 1e-5},
        {"altitude", "altimeter_ft", b3, "/instrumentation/altimeter/indicated-altitude-ft", 1.0},
        {"heading", "heading", b3, "/instrumentation/heading-indicator/indicated-heading-deg", 0.01},
        {"pitch", "pitch", b3, "/orientation/pitch-deg", 0.01},
        {"bank", "bank", b3, "/orientation/roll-deg", 0.01},
        {"airspeed", "ias", b3, "/instrumentation/airspeed-indicator/indicated-speed-kt", 0.01},
        {"engine rpm", "rpm", b1, "/engines/engine/rpm", 1.0},
        {"fuel flow", "fuel_flow_pph", b1, "/engines/engine/fuel-flow_pph", 0.1},
        {"flaps", "flaps", b2, "/surface-positions/flap-pos-norm", 0.001},
        {"COM1", "com1", b2, "/instrumentation/comm/frequencies/selected-mhz", 0.005},
        {"NAV1", "nav1", b2, "/instrumentation/nav/frequencies/selected-mhz", 0.005},
        {"ADF1", "adf1", b3, "/instrumentation/adf/frequencies/selected-khz", 0.05},
    };
    report.clear();
    int wrong = 0;
    for (const Check& check : checks) {
      const auto found = check.shown.find(check.shownKey);
      const double flightgear = Number(check.property);
      const double shown = found == check.shown.end() ? NAN : std::stod(found->second);
      const bool agrees = std::fabs(shown - flightgear) <= check.within;
      wrong += agrees ? 0 : 1;
      char line[160];
      std::snprintf(line, sizeof line, "%s %s: commgr %.6f, FlightGear %.6f\n", agrees ? "  " : "!!", check.name, shown,
                    flightgear);
      report += line;
    }
    return wrong == 0;
  };
  EXPECT_TRUE(Eventually(disagreements, 60000)) << report;
  std::printf("[ FlightGear ] agreement, frozen:\n%s", report.c_str());
}

// Also the step's figures: FlightGear's frame rate, and against it the
// node's Block 1 rate and how long a change takes to reach FlightGear.
TEST_F(FlightGear, ARadioChangeAtCommgrShowsInFlightGear) {
  using Clock = std::chrono::steady_clock;
  const auto Seconds = [](Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); };
  ASSERT_TRUE(commgr_->WaitForNew("recv block1 seq=", 20000));
  const Clock::time_point first = Clock::now();
  for (int block = 0; block < 10; ++block) ASSERT_TRUE(commgr_->WaitForNew("recv block1 seq=", 20000));
  const double blocksPerSecond = 10 / Seconds(first);

  const double before = Number("/instrumentation/comm/frequencies/selected-mhz");
  const Clock::time_point sent = Clock::now();
  ASSERT_TRUE(commgr_->Command("int 83 0"));  // COM1 up 0.05 MHz from what the node read
  EXPECT_TRUE(Eventually([&] { return std::fabs(Number("/instrumentation/comm/frequencies/selected-mhz") - (before + 0.05)) < 0.001; },
                         15000))
      << before << " -> " << Property("/instrumentation/comm/frequencies/selected-mhz");
  const double latency = Seconds(sent);
  const double frames = Number("/sim/frame-rate");
  std::printf("[ FlightGear ] %.1f frames/s; Block 1 %.2f/s; COM1 change seen in FlightGear after %.0f ms (%.1f frames)\n",
              frames, blocksPerSecond, latency * 1000, latency * frames);
  ASSERT_TRUE(commgr_->Command("int 176 3445"));  // ADF1 344.5 kHz
  EXPECT_TRUE(Eventually([] { return std::fabs(Number("/instrumentation/adf/frequencies/selected-khz") - 344.5) < 0.01; }, 15000))
      << Property("/instrumentation/adf/frequencies/selected-khz");
}

TEST_F(FlightGear, TheAutopilotTurnsTheAircraftToTheHeadingSet) {
  const double target = std::fmod(Number("/instrumentation/heading-indicator/indicated-heading-deg") + 90.0, 360.0);
  ASSERT_TRUE(commgr_->Command("int 116 " + std::to_string(static_cast<int>(target)) + " 165 1 21 1"));
  EXPECT_TRUE(Eventually([&] { return std::fabs(Number("/autopilot/settings/heading-bug-deg") - static_cast<int>(target)) < 0.5; },
                         15000))
      << Property("/autopilot/settings/heading-bug-deg");
  // A standard-rate turn of 90 degrees takes 30 s of FlightGear's time,
  // which falls behind the wall clock when its frames come slowly (a turn
  // took four minutes at 4 frames/s here); five minutes is plenty.
  const auto off = [&] {
    double d = std::fmod(Number("/instrumentation/heading-indicator/indicated-heading-deg") - static_cast<int>(target) + 540.0, 360.0) - 180.0;
    return std::fabs(d);
  };
  int ended = 0;
  Eventually([&] { return off() < 10.0 || FlightGearEnded(ended); }, 300000);
  EXPECT_LT(off(), 10.0) << "heading still " << off() << " degrees off";
  ASSERT_TRUE(commgr_->Command("int 165 0"));
}

TEST_F(FlightGear, TheScenariosAircraftAppearInTheAirTrafficAtFlightGearsPositions) {
  // The scenario's tanker, ESSO 2, is FlightGear's first AI aircraft once it flies.
  ASSERT_TRUE(Eventually([] { return Property("/ai/models/aircraft/valid") == "true"; }, 180000))
      << "FlightGear has no AI aircraft: " << Property("/ai/models/aircraft/callsign");
  ASSERT_TRUE(Freeze(true));
  // The node reads its traffic tables from its fifth second on, fgbridge
  // refreshes its view of them every two seconds, and a traffic message
  // goes out every second and a half: frozen, they come to agree.
  const std::string ident = "ident=" + Property("/ai/models/aircraft/callsign").substr(0, 8) + " ";
  ASSERT_TRUE(commgr_->WaitFor(ident, 30000));
  std::string line;
  const auto agrees = [&] {
    if (!commgr_->WaitForNew(ident, 20000)) return false;
    const std::string output = commgr_->Output();
    const size_t at = output.rfind(ident);
    line = output.substr(at, output.find('\n', at) - at);
    return std::fabs(std::stod(line.substr(line.find("lat=") + 4)) - Number("/ai/models/aircraft/position/latitude-deg")) < 0.001 &&
           std::fabs(std::stod(line.substr(line.find("lon=") + 4)) - Number("/ai/models/aircraft/position/longitude-deg")) < 0.001 &&
           std::fabs(std::stod(line.substr(line.find("alt=") + 4)) - Number("/ai/models/aircraft/position/altitude-ft")) < 1.0;
  };
  EXPECT_TRUE(Eventually(agrees, 60000)) << line << "\nFlightGear: " << Property("/ai/models/aircraft/position/latitude-deg")
                                         << " " << Property("/ai/models/aircraft/position/longitude-deg") << " "
                                         << Property("/ai/models/aircraft/position/altitude-ft");
}

TEST_F(FlightGear, ARouteSetInFlightGearIsImportedByTheNode) {
  for (const auto& [path, value] : std::vector<std::pair<std::string, std::string>>{
           {"/autopilot/route-manager/input", "@CLEAR"},
           {"/autopilot/route-manager/departure/airport", "KSFO"},
           {"/autopilot/route-manager/destination/airport", "KSJC"},
           {"/autopilot/route-manager/input", "@INSERT1:SFO"},
           {"/autopilot/route-manager/input", "@ACTIVATE"}}) {
    ASSERT_TRUE(SetProperty(path, value));
  }
  ASSERT_TRUE(Eventually([] { return Number("/autopilot/route-manager/route/num") >= 2; }, 15000));
  const int waypoints = static_cast<int>(Number("/autopilot/route-manager/route/num"));
  EXPECT_TRUE(WaitForFileText(In("ZemSim.log"), "loaded: " + std::to_string(waypoints) + " waypoints", 30000))
      << ReadTextFile(In("fgbridge.txt")) << Log();
}

// Recorded beside FlightGear for a minute, flying with changes from the
// network, then played back by simstub to a fresh node: ComMgr gets the
// same blocks and traffic at the same moments.
TEST_F(FlightGear, AFlightRecordedBesideItReplaysIntoSimstubWithTheSameBlocks) {
  constexpr int64_t RECORDED_MS = 60000;
  // This case's node records, and its ComMgr shows every message whole.
  // The fixture's ComMgr ends first: the registration port is one.
  node_.reset();
  commgr_.reset();
  commgr_ = std::make_unique<StandInCommgr>(directory_, commgrPrefix_, std::vector<std::string>{"--port", "0", "--hex", "--stamps"},
                                            "commgr-recorded.txt");
  ASSERT_TRUE(commgr_->ready()) << commgr_->Output();
  fs::create_directory(In("recordings"));
  WriteWholeFile(In("ZemSim.cfg"), ReadWholeFile(In("ZemSim.cfg")) + "record recordings\n");
  node_ = std::make_unique<ScopedChild>(nodeProgram_, directory_, In("console-recorded.txt"));
  ASSERT_TRUE(WaitForFileText(In("console-recorded.txt"), "Connected to simulator\n", 30000))
      << ReadTextFile(In("console-recorded.txt"));
  const std::string file = OnlyRecordingIn(In("recordings"));
  ASSERT_FALSE(file.empty());
  Recording recording;
  std::string error;
  ASSERT_TRUE(LoadRecording(file, recording, error)) << error;
  const int64_t start = static_cast<int64_t>(recording.header.startUtcMs);
  for (int burst = 0; burst < 3; ++burst) {
    platform::SleepMs(12000);
    ASSERT_TRUE(commgr_->Command("int 83 0"));  // COM1 up 0.05 MHz
  }
  const int64_t left = start + RECORDED_MS + POLLING_CYCLE_MS - static_cast<int64_t>(UtcNowMs());
  if (left > 0) platform::SleepMs(static_cast<uint32_t>(left));
  ASSERT_TRUE(commgr_->Command("shutdown"));
  int code = 0;
  ASSERT_TRUE(node_->WaitForExit(10000, code)) << ReadTextFile(In("console-recorded.txt"));
  const std::vector<SeenMessage> original = DataMessages(commgr_->Output(), start);
  ASSERT_TRUE(LoadRecording(file, recording, error)) << error;
  EXPECT_EQ(recording.end, RecordingEnd::Closed);
  node_.reset();
  commgr_.reset();  // the replay's ComMgr takes the registration port

  std::string replayLog;
  const std::vector<SeenMessage> replay = ReplayToAFreshNode(file, directory_, nodeProgram_, replayLog);
  ASSERT_FALSE(replay.empty());
  ExpectTheSameMessages(original, replay, replay.front().atMs + 2 * POLLING_CYCLE_MS, RECORDED_MS - POLLING_CYCLE_MS);
  std::printf("[ FlightGear ] a minute recorded: %llu bytes; replayed: %zu messages compared\n",
              static_cast<unsigned long long>(fs::file_size(file)), replay.size());
}

// Last: FlightGear ends, and comes back.
TEST_F(FlightGear, FlightGearEndedIsTheSimulatorLostAndStartedAgainIsItsReturn) {
  const double frames = Number("/sim/frame-rate");
  EndFlightGear();
  EXPECT_TRUE(WaitForConsoleCount("Simulator disconnected\n", 1, 30000)) << Console();
  StartFlightGear();
  ASSERT_TRUE(startFailure_.empty()) << startFailure_;
  EXPECT_TRUE(WaitForConsoleCount("Connected to simulator\n", 2, 60000)) << Console() << ReadTextFile(In("fgbridge.txt"));
  int code = 0;
  EXPECT_FALSE(bridge_->WaitForExit(0, code)) << "fgbridge ran all along";
  std::printf("[ FlightGear ] %.1f frames/s before the restart\n", frames);
}

}  // namespace
