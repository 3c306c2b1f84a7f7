#pragma once
// The node as a real process between its two stand-in peers, all on
// loopback: simstub serving the simulator, commgr standing in for ComMgr.

#include <memory>

#include "support/files.h"
#include "support/processes.h"
#include "support/test_support.h"

// The text after the marker on the last line that has it, to the line's end.
std::string LastAfter(const std::string& output, const std::string& marker);

// Occurrences of the part in the text.
int CountOf(const std::string& text, const std::string& part);

// The stand-in ComMgr, showing every message it gets: by default on
// loopback with a free data port; or started behind the command prefix (for
// example in a network namespace) with the options given.
class StandInCommgr : public PeerProcess {
 public:
  explicit StandInCommgr(const std::string& directory, const std::vector<std::string>& prefix = {},
                         const std::vector<std::string>& options = {"--port", "0"}, const char* output = "commgr.txt");
  bool ready() const { return ready_; }

 private:
  bool ready_ = false;
};

// Starts simstub and commgr, configures the node for both (loopback only,
// a data port of its own), and leaves starting the node to the test or to
// StartNode.
class NodeWithPeers : public testing::Test {
 protected:
  void SetUp() override;
  // Ends the peers and the node, then every orphan left behind (a restarted
  // node's successors), by their ids, and the wine session if one was used.
  void TearDown() override;
  // Ends every child of this process (adopted orphans included) but those kept.
  static void EndChildrenExcept(const std::vector<int64_t>& kept);
  // Starts zemsim and waits until it is connected to ComMgr.
  void StartNode();
  std::string In(const char* name) const { return run_.In(name); }
  std::string Console() const { return ReadTextFile(In("console.txt")); }
  std::string Log() const { return ReadWholeFile(In("ZemSim.log")); }
  // Occurrences of the text in the node's console so far.
  int ConsoleCount(const std::string& text) const;
  bool WaitForConsoleCount(const std::string& text, int count, uint32_t timeoutMs) const;

  // The command that runs a program of the Windows build under wine, in the
  // tests' own prefix; empty where the build or wine is absent.
  std::vector<std::string> UnderWine(const std::string& program);

  // How the node and its peers are started; a fixture may change them
  // before SetUp. A program's command may begin with a prefix (for example
  // a network namespace).
  std::vector<std::string> nodeProgram_;
  std::vector<std::string> stubProgram_;  // empty: simstub beside the tests, stream only
  std::vector<std::string> commgrPrefix_;
  std::vector<std::string> commgrOptions_ = {"--port", "0"};
  bool viaSimServer_ = true;  // false: the platform's own way to the simulator
  bool onLoopback_ = true;    // false: the test writes the node's configuration

  RunDirectory run_{"peers"};
  const std::string directory_ = run_.path();
  std::unique_ptr<StubSimulator> stub_;
  std::unique_ptr<StandInCommgr> commgr_;
  std::unique_ptr<ScopedChild> node_;
  uint16_t port_ = 0;

 private:
  bool wine_ = false;
};
