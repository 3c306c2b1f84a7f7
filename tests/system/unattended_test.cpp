// A node left alone for hours: it heals itself by restarting in place, a
// line of restarts ends, a node that cannot log runs on, and one that cannot
// start its workers says so and runs on. POSIX only: the tests drop the
// privileges that would let root write anywhere and start any number of
// threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/node_peers.h"
#include "wire/msg_header.h"

namespace fs = std::filesystem;

namespace {

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

TEST_F(UnattendedNode, NodeThatCannotWriteItsLogRunsOnSilently) {
  if (fs::exists("/ZemSim")) GTEST_SKIP() << "/ZemSim exists on this machine and would take the log";
  const fs::path home = fs::path(directory_) / "readonly";
  fs::create_directories(home);
  fs::copy_file(In("ZemSim.cfg"), home / "ZemSim.cfg");
  fs::permissions(home, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  // Root writes anywhere: without the override privilege it obeys the mode.
  std::vector<std::string> command;
  if (std::FILE* probe = std::fopen((home / "probe").string().c_str(), "w")) {
    std::fclose(probe);
    fs::remove(home / "probe");
    command = {"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"};
    ScopedChild check({command[0], command[1], command[2], "/bin/sh", "-c", ": > probe"}, home.string(), "");
    int code = 0;
    ASSERT_TRUE(check.WaitForExit(5000, code));
    if (fs::exists(home / "probe")) GTEST_SKIP() << "cannot make a directory unwritable here";
  }
  command.push_back(ProgramBeside("zemsim"));
  node_ = std::make_unique<ScopedChild>(command, home.string(), In("console.txt"));
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "Connected to CommMgr\n", 15000)) << Console();
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "Connected to simulator\n", 10000)) << Console();
  ASSERT_TRUE(commgr_->Command("int 165 3"));
  EXPECT_TRUE(stub_->WaitForOutput("write 0x07BC 4: 03 00 00 00\n", 5000));
  EXPECT_TRUE(commgr_->WaitForNew("recv block1 seq=", 5000));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(home)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"ZemSim.cfg"}) << "no log file anywhere";
  fs::permissions(home, fs::perms::owner_all, fs::perm_options::add);
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
