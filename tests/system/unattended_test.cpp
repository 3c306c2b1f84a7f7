// A node left alone for hours: it heals itself by restarting in place, a
// line of restarts ends, a node that cannot log runs on, and one that cannot
// start its workers says so and runs on. POSIX only: the tests drop the
// privileges that would let root write anywhere and start any number of
// threads.


#include "platform/child_process.h"
#include "support/files.h"
#include "support/node_peers.h"
#include "support/processes.h"
#include "wire/msg_header.h"

namespace fs = std::filesystem;

namespace {

// Seconds from the log line that holds the first text to the next one that
// holds the second; -1 when either is missing.
double SecondsBetween(const std::string& log, const std::string& first, const std::string& second) {
  const auto stamp = [&log](size_t at) {
    const size_t line = log.rfind('\n', at) + 1;  // 0 on the first line
    return std::stoi(log.substr(line, 2)) * 3600 + std::stoi(log.substr(line + 3, 2)) * 60 +
           std::stoi(log.substr(line + 6, 2)) + std::stoi(log.substr(line + 9, 3)) / 1000.0;
  };
  const size_t from = log.find(first), to = log.find(second, from);
  if (from == std::string::npos || to == std::string::npos) return -1;
  const double seconds = stamp(to) - stamp(from);
  return seconds < 0 ? seconds + 24 * 3600 : seconds;
}

class UnattendedNode : public NodeWithPeers {
 protected:
  // One data message with a version the node does not speak.
  void SendWrongVersion() {
    ASSERT_TRUE(commgr_->Command("version " + std::to_string(MSG_VERSION + 1)));
    ASSERT_TRUE(commgr_->Command("int 165 1"));
    ASSERT_TRUE(commgr_->Command("version " + std::to_string(MSG_VERSION)));
  }
};

// Each restart takes the running process's place: the same process id (so
// the same terminal, the same service, the same Ctrl-C) runs counts 1, 2
// and 3, and the line ends there with 100.
TEST_F(UnattendedNode, WrongVersionsRestartInPlaceThroughCountsOneTwoThreeAndTheLineEndsWith100) {
  StartNode();
  ASSERT_FALSE(HasFatalFailure());
  for (int count = 1; count <= 3; ++count) {
    SendWrongVersion();
    // A restarted instance pauses three seconds before it reads its configuration.
    ASSERT_TRUE(WaitForConsoleCount("Connected to CommMgr\n", count + 1, 20000)) << Console();
    int code = 0;
    ASSERT_FALSE(node_->WaitForExit(0, code)) << "the process started first runs on, exit code " << code;
    EXPECT_EQ(ConsoleCount("ZemSim (" + std::to_string(count) + ")\n"), 1) << Console();
    std::string log = ReadWholeFile(In("ZEMDefault.log"));
    EXPECT_EQ(log.rfind("Log Started - Already initialized\n", 0), 0u) << log;
    EXPECT_NE(log.find("ZemSim (" + std::to_string(count) + ")\n"), std::string::npos) << log;
    EXPECT_NE(log.find("This is a restart.\n"), std::string::npos);
  }
  // A restarted instance reads its configuration after a pause of three seconds.
  EXPECT_GE(SecondsBetween(ReadWholeFile(In("ZEMDefault.log")), "This is a restart.", "ZemSim Config file closed"), 2.9);
  SendWrongVersion();
  int code = 0;
  ASSERT_TRUE(node_->WaitForExit(10000, code)) << Console();
  EXPECT_EQ(code, 100);
  std::string log = ReadWholeFile(In("ZEMDefault.log"));
  EXPECT_NE(log.find("Restart() - ZemFsx has restarted max times. Exiting\n"), std::string::npos) << log;
  EXPECT_EQ(ConsoleCount("ZemSim ("), 4) << "nobody started a fifth instance";
  EXPECT_EQ(Log().find("ZemSim (1)"), std::string::npos) << "successors leave ZemSim.log alone";
  for (platform::ChildProcess child : platform::CurrentChildren()) {
    EXPECT_TRUE(child.id == stub_->id() || child.id == commgr_->id()) << "a node left behind: " << child.id;
  }
}

// A worker thread that cannot be created (here: the node runs as a user
// allowed no thread beyond its first) is logged, and the node goes on with
// what it has: its main loop still connects to the simulator.
TEST_F(UnattendedNode, WorkersThatCannotBeCreatedAreLoggedAndTheMainLoopRunsOn) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the thread checker needs threads of its own";
#endif
  // The other user writes its log beside the configuration.
  fs::permissions(directory_, fs::perms::all, fs::perm_options::add);
  node_ = std::make_unique<ScopedChild>(
      std::vector<std::string>{"/usr/bin/setpriv", "--reuid=64999", "--regid=64999", "--clear-groups", "--",
                               "/usr/bin/prlimit", "--nproc=1", "--", ProgramBeside("zemsim")},
      directory_, In("console.txt"));
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "Connected to simulator\n", 15000)) << Console() << Log();
  const std::string log = Log();
  for (const char* worker : {"receive", "simulator polling", "monitor", "traffic", "console"}) {
    EXPECT_NE(log.find(std::string("StartUp() - The ") + worker + " thread could not be created\n"), std::string::npos)
        << log;
  }
}

}  // namespace
