// A node left alone for hours: it heals itself by restarting, a line of
// restarts ends, and a node that cannot log runs on. POSIX only: the tests
// adopt the restarted successors, and drop the privilege that would let
// root write anywhere.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "net/msg_header.h"
#include "support/node_peers.h"

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
  // Exit codes of the adopted successors that have ended, in the order seen.
  void CollectEndedSuccessors(std::vector<int>& codes) {
    for (platform::ChildProcess child : platform::CurrentChildren()) {
      if (child.id == stub_->id() || child.id == commgr_->id() || child.id == node_->id()) continue;
      int code = 0;
      if (platform::WaitProcess(child, 0, code)) codes.push_back(code);
    }
  }
};

TEST_F(UnattendedNode, WrongVersionsRestartThroughCountsOneTwoThreeAndTheLineEndsWith100) {
  ASSERT_TRUE(platform::AdoptOrphanedDescendants());
  StartNode();
  ASSERT_FALSE(HasFatalFailure());
  std::vector<int> codes;
  for (int count = 1; count <= 3; ++count) {
    SendWrongVersion();
    // A successor pauses three seconds before it reads its configuration.
    ASSERT_TRUE(WaitForConsoleCount("Connected to CommMgr\n", count + 1, 20000)) << Console();
    EXPECT_EQ(ConsoleCount("ZemSim (" + std::to_string(count) + ")\n"), 1) << Console();
    std::string log = ReadWholeFile(In("ZEMDefault.log"));
    EXPECT_EQ(log.rfind("Log Started - Already initialized\n", 0), 0u) << log;
    EXPECT_NE(log.find("ZemSim (" + std::to_string(count) + ")\n"), std::string::npos) << log;
    EXPECT_NE(log.find("This is a restart.\n"), std::string::npos);
    CollectEndedSuccessors(codes);
  }
  int firstCode = -1;
  ASSERT_TRUE(node_->WaitForExit(5000, firstCode));
  EXPECT_EQ(firstCode, 0);

  SendWrongVersion();
  for (int waited = 0; waited < 100 && std::count(codes.begin(), codes.end(), 100) == 0; ++waited) {
    platform::SleepMs(100);
    CollectEndedSuccessors(codes);
  }
  EXPECT_EQ(codes, (std::vector<int>{0, 0, 100}));
  std::string log = ReadWholeFile(In("ZEMDefault.log"));
  EXPECT_NE(log.find("ZemSim (3)\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Restart() - ZemFsx has restarted max times. Exiting\n"), std::string::npos) << log;
  EXPECT_EQ(ConsoleCount("ZemSim ("), 4) << "nobody started a fifth instance";
  EXPECT_EQ(Log().find("ZemSim (1)"), std::string::npos) << "successors leave ZemSim.log alone";
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

}  // namespace
