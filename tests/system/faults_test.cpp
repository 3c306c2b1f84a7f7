// A simulator that stalls or dies under a running node, with real processes
// on loopback.

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/child_process.h"
#include "support/files.h"
#include "support/message_bytes.h"
#include "support/node_peers.h"
#include "support/processes.h"

namespace {

namespace fs = std::filesystem;

class RunningNode : public NodeWithPeers {
 protected:
  void SetUp() override {
    NodeWithPeers::SetUp();
    if (!HasFatalFailure()) StartNode();
  }
  // A change sent by commgr reaches the simulator: the receive path, the
  // link and the simulator lock are all free.
  bool ChangeReachesSimulator(int value) {
    char bytes[16];
    std::snprintf(bytes, sizeof bytes, "%02X 00 00 00", value);
    return commgr_->Command("int 165 " + std::to_string(value)) &&
           stub_->WaitFor(std::string("write 0x07BC 4: ") + bytes + "\n", 5000);
  }
};

// One way for the simulator to go away and come back.
struct Outage {
  const char* name;
  bool killed;  // killed and started again on the same port, else stalled and resumed
};

class SimulatorOutage : public RunningNode, public testing::WithParamInterface<Outage> {};

TEST_P(SimulatorOutage, DisconnectsOnceAndReconnectsSoonAfterItsReturn) {
  ASSERT_TRUE(WaitForConsoleCount("Connected to simulator\n", 1, 10000)) << Console();
  ASSERT_TRUE(commgr_->WaitFor("recv block1 seq=", 10000));
  const uint16_t simPort = stub_->port();
  if (GetParam().killed) {
    stub_->Kill();
  } else {
    ASSERT_TRUE(stub_->Ask("stall", "stalled"));
  }
  ASSERT_TRUE(WaitForConsoleCount("Simulator disconnected\n", 1, 30000)) << Console();
  platform::SleepMs(1500);  // away a while, as a crashed simulator would be

  if (GetParam().killed) {
    stub_ = std::make_unique<StubSimulator>(directory_, simPort);
    ASSERT_TRUE(stub_->ready());
  } else {
    ASSERT_TRUE(stub_->Ask("resume", "resumed"));
  }
  ASSERT_TRUE(WaitForConsoleCount("Connected to simulator\n", 2, 15000)) << Console() << Log();

  EXPECT_TRUE(commgr_->WaitForNew("recv block1 seq=", 5000)) << "the blocks flow again";
  EXPECT_TRUE(commgr_->WaitForNew("recv block3 seq=", 5000));
  EXPECT_TRUE(ChangeReachesSimulator(7)) << stub_->Output();
  // Thirty more lists served on the new link, then the node's whole run is over: one disconnect in all of it.
  ASSERT_TRUE(stub_->Ask("lists", "lists "));
  const int served = std::stoi(LastAfter(stub_->Output(), "lists "));
  EXPECT_TRUE(Eventually([&] { return stub_->Ask("lists", "lists ") && std::stoi(LastAfter(stub_->Output(), "lists ")) >= served + 30; },
                         15000));
  ASSERT_TRUE(commgr_->Command("shutdown"));
  int code = 0;
  ASSERT_TRUE(node_->WaitForExit(10000, code)) << Console();
  EXPECT_EQ(code, 100);
  EXPECT_EQ(ConsoleCount("Simulator disconnected\n"), 1) << Console();
}

INSTANTIATE_TEST_SUITE_P(Simulator, SimulatorOutage,
                         testing::Values(Outage{"StallsAndResumes", false}, Outage{"IsKilledAndStartedAgain", true}), RowName());

// A simulator that answered late or in frames for a while, then answers at
// once again: from then on no list is held back for a frame's end, as the
// node's status line counts them.
struct Spell {
  const char* name;
  const char* answering;  // simstub's command for the spell
};

class AnsweringSpell : public NodeWithPeers, public testing::WithParamInterface<Spell> {
 protected:
  struct Period {
    int changes;
    int held;
  };
  // What the node's status lines so far say of their periods, in order.
  std::vector<Period> Periods() const {
    std::vector<Period> periods;
    std::istringstream lines(Log());
    for (std::string line; std::getline(lines, line);) {
      const size_t changes = line.find(" changes applied"), held = line.find(" held for a frame's end");
      if (line.find("Status() - ") == std::string::npos || held == std::string::npos) continue;
      periods.push_back({std::stoi(line.substr(line.rfind(", ", changes) + 2)),
                         std::stoi(line.substr(line.rfind(", ", held) + 2))});
    }
    return periods;
  }
};

TEST_P(AnsweringSpell, LeavesNoListWaitingForAFrameOnceAnswersArePrompt) {
  platform::SetEnvironmentValue("ZEMSIM_STATUS_SECONDS", "1");
  StartNode();
  platform::SetEnvironmentValue("ZEMSIM_STATUS_SECONDS", "");
  ASSERT_TRUE(WaitForConsoleCount("Connected to simulator\n", 1, 10000)) << Console();
  // A change every 10 ms throughout, so that lists meet in the line.
  std::atomic<bool> sending{true};
  std::thread changes([&] {
    for (int n = 1; sending; ++n) {
      commgr_->Command("int 165 " + std::to_string(n));
      platform::SleepMs(10);
    }
  });
  struct Stop {
    std::atomic<bool>& sending;
    std::thread& changes;
    ~Stop() { sending = false; changes.join(); }
  } stop{sending, changes};

  ASSERT_TRUE(stub_->Ask(std::string("answer ") + GetParam().answering, "answering "));
  ASSERT_TRUE(Eventually([&] { const auto p = Periods(); return !p.empty() && p.back().held > 0; }, 20000))
      << "the node waits for frame ends meanwhile\n" << Log();
  EXPECT_TRUE(stub_->WaitForNew("write 0x07BC 4: ", 5000)) << "and the changes go on reaching the simulator";
  ASSERT_TRUE(stub_->Ask("answer at-once", "answering at once"));
  const size_t before = Periods().size();
  // The period under way may still hold a list; the next one is all prompt.
  ASSERT_TRUE(Eventually([&] { return Periods().size() >= before + 2; }, 10000)) << Log();
  EXPECT_EQ(Periods()[before + 1].held, 0) << Log();
  EXPECT_GT(Periods()[before + 1].changes, 0) << Log();
  EXPECT_TRUE(stub_->WaitForNew("write 0x07BC 4: ", 5000));
}

INSTANTIATE_TEST_SUITE_P(Simulator, AnsweringSpell,
                         testing::Values(Spell{"AHiccup", "late 120"}, Spell{"Frames", "frames 100"}), RowName());

// Anybody on the LAN may flood the node with datagrams it refuses: the log
// gains a few lines and, once the period is over, their count; the next
// one after that is logged in full again.
TEST_F(RunningNode, AFloodOfRefusedDatagramsCostsTheLogAFewLines) {
  ASSERT_TRUE(commgr_->WaitFor("recv block1 seq=", 10000)) << Console();
  const std::string full = "PollUDP() - Unhandled MSG CLASS: 7\n";
  const size_t from = Log().size();
  const std::vector<uint8_t> junk = TestMessage(7, 0);
  platform::SocketHandle sender = platform::UdpOpen();
  for (int i = 0; i < 10000; ++i) platform::UdpSendTo(sender, junk.data(), junk.size(), 0x7F000001, port_);
  const std::string summary = "PollUDP() - Unhandled MSG CLASS ... and ";
  ASSERT_TRUE(Eventually([&] { return Log().find(summary, from) != std::string::npos; }, 20000)) << Log().substr(from);
  const std::string added = Log().substr(from);
  EXPECT_LE(added.size(), 4000u) << added;
  int inFull = 0;
  for (const std::string& line : SplitLines(added)) inFull += line.find("Unhandled MSG CLASS: 7") != std::string::npos;
  const int counted = std::stoi(LastAfter(added, summary));
  EXPECT_GT(counted, 0);
  EXPECT_LE(inFull + counted, 10000);
  EXPECT_TRUE(Eventually([&] { return ConsoleCount(summary) == 1; }, 5000)) << "the console too";

  platform::UdpSendTo(sender, junk.data(), junk.size(), 0x7F000001, port_);
  platform::UdpClose(sender);
  EXPECT_TRUE(WaitForConsoleCount(full, inFull + 1, 5000)) << Console();
}

// The simulator names a path at 0x0130 that is no plan: the node says it
// cannot open it, or that it is too large, and its polling thread, which
// looks at the path, goes on sending the blocks.
struct PlanPath {
  const char* name;
  bool posixOnly;
  // Makes the thing at the path in the directory; the line the node prints.
  std::function<std::string(const std::string& directory, std::string& path)> make;
};

class HostilePlanPaths : public RunningNode, public testing::WithParamInterface<PlanPath> {};

TEST_P(HostilePlanPaths, AreRefusedWithALineWhileTheBlocksFlow) {
  if (GetParam().posixOnly && platform::PathSeparator() != '/') GTEST_SKIP() << "no such file here";
  std::string path;
  const std::string line = GetParam().make(MakeFreshDirectory("plan-path"), path);
  ASSERT_TRUE(commgr_->WaitFor("recv block1 seq=", 10000)) << Console();
  ASSERT_TRUE(stub_->Ask("text 0x0130 " + path, "ok"));
  EXPECT_TRUE(WaitForConsoleCount(line, 1, 10000)) << Console();
  EXPECT_TRUE(commgr_->WaitForNew("recv block1 seq=", 5000)) << "the blocks go on";
  EXPECT_TRUE(commgr_->WaitForNew("recv block2 seq=", 5000));
  EXPECT_TRUE(commgr_->WaitForNew("recv block3 seq=", 5000));
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostilePlanPaths,
    testing::Values(
        PlanPath{"Fifo", true,
                 [](const std::string& directory, std::string& path) {
                   path = (fs::path(directory) / "plan.pln").string();
                   ScopedChild mkfifo({"/usr/bin/mkfifo", path}, directory, "");
                   int code = -1;
                   EXPECT_TRUE(mkfifo.WaitForExit(10000, code) && code == 0);
                   return "Can't open: " + path + "\n";
                 }},
        PlanPath{"DeviceOfEndlessZeros", true,
                 [](const std::string&, std::string& path) {
                   path = "/dev/zero";
                   return "Can't open: " + path + "\n";
                 }},
        PlanPath{"Folder", false,
                 [](const std::string& directory, std::string& path) {
                   path = directory;
                   return "Can't open: " + path + "\n";
                 }},
        PlanPath{"HugeFile", false,
                 [](const std::string& directory, std::string& path) {
                   // A plan the node would take, but for the megabyte of blanks after it.
                   path = (fs::path(directory) / "huge.pln").string();
                   const fs::path sample = fs::path(TestProgramPath()).parent_path() / "flightplans" / "KSEA-KPDX.pln";
                   const std::string plan = ReadWholeFile(sample.string());
                   WriteWholeFile(path, plan + std::string(1 << 20, ' '));
                   return "CheckFlightPlan() - " + std::to_string(fs::file_size(path)) +
                          " bytes is too large for a flight plan: " + path + "\n";
                 }}),
    RowName());

}  // namespace
