// What an operator reads on the node's console when a peer is missing, and
// what the node says about itself, with real processes on loopback.

#include <atomic>
#include <thread>

#include "platform/child_process.h"
#include "platform/server.h"
#include "support/files.h"
#include "support/node_peers.h"
#include "support/processes.h"

namespace fs = std::filesystem;

namespace {

class Operator : public NodeWithPeers {
 protected:
  // A node of its own, after the one before has ended and its console gone.
  void RestartNode() {
    node_.reset();
    fs::remove(In("console.txt"));
    StartNode();
  }
  void Configure(const std::string& simserver) {
    WriteWholeFile(In("ZemSim.cfg"), "ipaddress 127.0.0.1\nport " + std::to_string(port_) + "\nsimserver " + simserver + "\n");
  }
  std::string Endpoint(uint16_t port) const { return "127.0.0.1:" + std::to_string(port); }
};

// A port where a server takes each connection and closes it unanswered, as
// a bridge does for a PC it does not allow; counts the connections.
class ClosingServer {
 public:
  ClosingServer() : listener_(platform::TcpListen(0x7F000001, 0)), port_(platform::LocalPort(listener_)) {
    thread_ = std::thread([this] {
      for (;;) {
        platform::SocketHandle connection = platform::TcpAccept(listener_);
        if (stop_) break;
        platform::CloseSocket(connection);
        ++accepted;
      }
    });
  }
  ~ClosingServer() {
    stop_ = true;
    platform::IoStatus status;
    platform::CloseSocket(platform::TcpConnect(0x7F000001, port_, 1000, status));
    thread_.join();
    platform::CloseSocket(listener_);
  }
  uint16_t port() const { return port_; }
  std::atomic<int> accepted{0};

 private:
  platform::SocketHandle listener_;
  uint16_t port_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(Operator, SaysOnceWhyTheSimulatorCannotBeReachedAndWhenItIs) {
  // Nothing listens: the port of a listener just closed.
  platform::SocketHandle taken = platform::TcpListen(0x7F000001, 0);
  const uint16_t nobody = platform::LocalPort(taken);
  platform::CloseSocket(taken);
  Configure(Endpoint(nobody));
  StartNode();
  EXPECT_TRUE(WaitForConsoleCount("Simulator cannot be reached: connection refused at " + Endpoint(nobody), 1, 10000))
      << Console();

  {
    // A server that closes every connection at once, tried over and over.
    ClosingServer closing;
    Configure(Endpoint(closing.port()));
    RestartNode();
    const std::string closed = "Simulator cannot be reached: connection closed by the server at " + Endpoint(closing.port());
    ASSERT_TRUE(WaitForConsoleCount(closed, 1, 10000)) << Console();
    // Each connect tries nine times: this is the third connect or later.
    ASSERT_TRUE(Eventually([&] { return closing.accepted >= 20; }, 15000));
    EXPECT_EQ(ConsoleCount(closed), 1) << "once per change, not per attempt:\n" << Console();
  }

  // A simulator too old for the node, then one that will do.
  ASSERT_TRUE(stub_->Ask("set 0x3304 04 00 98 19", "ok"));
  Configure(stub_->endpoint());
  RestartNode();
  EXPECT_TRUE(WaitForConsoleCount("answered with versions 0x19980004 (its interface) and 0xFADE000D (the simulator); "
                                  "it needs 0x19980005 or later and 0xFADEnnnn",
                                  1, 10000))
      << Console();
  ASSERT_TRUE(stub_->Ask("set 0x3304 00 00 00 40", "ok"));
  EXPECT_TRUE(WaitForConsoleCount("Simulator reached at " + stub_->endpoint(), 1, 10000)) << Console();
  EXPECT_EQ(ConsoleCount("Connected to simulator\n"), 1);
}

TEST_F(Operator, SaysWhenComMgrDoesNotAnswerAndWhenItDoes) {
  ASSERT_TRUE(commgr_->Ask("silence", "silent"));
  node_ = std::make_unique<ScopedChild>(nodeProgram_, directory_, In("console.txt"));
  const std::string missing = "No answer from ComMgr after 10 s of registrations to 127.0.0.255 port 9019: check "
                              "ipaddress and ipmask in ZemSim.cfg";
  ASSERT_TRUE(WaitForConsoleCount(missing, 1, 20000)) << Console();
  ASSERT_TRUE(Eventually([&] { return CountOf(commgr_->Output(), "registration from") >= 13; }, 10000));
  ASSERT_TRUE(commgr_->Ask("talk", "talking"));
  EXPECT_TRUE(WaitForConsoleCount("ComMgr answers from 127.0.0.1 port ", 1, 10000)) << Console();
  EXPECT_EQ(ConsoleCount(missing), 1) << Console();
  // Silent again: the connection is lost, and its return is told again.
  ASSERT_TRUE(commgr_->Ask("silence", "silent"));
  ASSERT_TRUE(WaitForConsoleCount("Connection with CommMgr lost\n", 1, 15000)) << Console();
  ASSERT_TRUE(commgr_->Ask("talk", "talking"));
  EXPECT_TRUE(WaitForConsoleCount("ComMgr answers again from 127.0.0.1 port ", 1, 10000)) << Console();
}

// The summary names the configuration file the node read, wherever it was.
TEST_F(Operator, SummaryNamesTheConfigurationReadAndTheRoadsToThePeers) {
  const std::string local = (fs::path(directory_) / "ZemSim.cfg").string();
  StartNode();
  const std::string network = "Network: this node at 127.0.0.1 port " + std::to_string(port_) +
                              ", registering by broadcast to 127.0.0.255 port 9019\n";
  for (const std::string& line : {std::string("Version: " ZEMSIM_VERSION "\n"), "Configuration: " + local + "\n",
                                  "Simulator: " + stub_->endpoint() + "\n", network}) {
    EXPECT_EQ(ConsoleCount(line), 1) << line << Console();
    EXPECT_EQ(CountOf(Log(), "StartUp() - " + line), 1) << line;
  }

  // The folder at the root of the drive wins over the current one.
  const fs::path root = fs::path(directory_) / "root";
  fs::create_directories(root / "ZemSimConfigs");
  fs::rename(local, root / "ZemSimConfigs" / "ZemSim.cfg");
  platform::SetEnvironmentValue("ZEMSIM_ROOT", root.string().c_str());
  RestartNode();
  platform::SetEnvironmentValue("ZEMSIM_ROOT", "");
  EXPECT_EQ(ConsoleCount("Configuration: " + (root / "ZemSimConfigs" / "ZemSim.cfg").string() + "\n"), 1) << Console();
}

TEST_F(Operator, LogsAStatusLineEachPeriod) {
  platform::SetEnvironmentValue("ZEMSIM_STATUS_SECONDS", "2");
  StartNode();
  platform::SetEnvironmentValue("ZEMSIM_STATUS_SECONDS", "");
  ASSERT_TRUE(commgr_->Command("int 165 5"));
  ASSERT_TRUE(stub_->WaitFor("write 0x07BC 4: 05 00 00 00", 5000));
  const std::string status = "Status() - simulator connected, ComMgr connected; last 2 s: ";
  ASSERT_TRUE(Eventually([&] { return Log().find(" 1 changes applied") != std::string::npos; }, 10000)) << Log();
  const std::string line = LastAfter(Log(), status);
  EXPECT_GT(std::stoi(line), 0) << "blocks sent: " << line;
  EXPECT_NE(line.find(" held for a frame's end; restarts so far: 0"), std::string::npos) << line;
}

// The title with both states goes to a terminal (here a pseudo-terminal of
// script's), and never into output that is not one.
TEST_F(Operator, TitleGoesToATerminalAndOnlyThere) {
  if (platform::HasWindowMessaging()) GTEST_SKIP() << "a Windows console shows the title in its own window";
  node_ = std::make_unique<ScopedChild>(
      std::vector<std::string>{"/usr/bin/script", "-qfec", ProgramBeside("zemsim"), In("terminal.txt")}, directory_,
      In("script.txt"));
  const std::string connected = "\033]0;ZemSim \u2014 simulator connected \u2014 ComMgr connected\007";
  EXPECT_TRUE(WaitForFileText(In("terminal.txt"), connected, 20000)) << ReadTextFile(In("terminal.txt"));
  EXPECT_NE(ReadTextFile(In("terminal.txt")).find("\033]0;ZemSim \u2014 simulator waiting \u2014 ComMgr waiting\007"),
            std::string::npos);
  // Ending script leaves its node to this process (the fixture adopts
  // orphans); that node still holds the ports until it is ended too.
  node_.reset();
  EndChildrenExcept({stub_->id(), commgr_->id()});
  // The status line comes in the same step as the title, after it.
  platform::SetEnvironmentValue("ZEMSIM_STATUS_SECONDS", "1");
  node_ = std::make_unique<ScopedChild>(nodeProgram_, directory_, In("console.txt"));
  platform::SetEnvironmentValue("ZEMSIM_STATUS_SECONDS", "");
  ASSERT_TRUE(WaitForFileText(In("ZemSim.log"), "Status() - simulator connected, ComMgr connected", 20000)) << Log();
  EXPECT_EQ(ConsoleCount("\033]0;"), 0) << "no title in a file";
}

// "--help" and "--version" answer and end; they open no log.
TEST(NodeInformation, HelpAndVersionPrintAndEndWithoutALog) {
  for (const char* option : {"--help", "--version"}) {
    const RunDirectory run(option + 2);
    int code = -1;
    {
      ScopedChild node({ProgramBeside("zemsim"), option}, run.path(), run.In("console.txt"));
      ASSERT_TRUE(node.WaitForExit(10000, code)) << option;
    }
    EXPECT_EQ(code, 0) << option;
    EXPECT_NE(ReadTextFile(run.In("console.txt")).find("ZemSim " ZEMSIM_VERSION), std::string::npos) << option;
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(run.path())) files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"console.txt"}) << option;
  }
}

}  // namespace
