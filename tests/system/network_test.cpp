// zemsim, simstub and commgr as real processes on loopback: the node at
// work end to end.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

// The stand-in ComMgr, showing every message it gets.
class StandInCommgr {
 public:
  explicit StandInCommgr(const std::string& directory)
      : output_((fs::path(directory) / "commgr.txt").string()),
        child_({ProgramBeside("commgr"), "--port", "0", "--verbose", "--stats", "0"}, directory, output_, true) {
    ready_ = WaitForFileText(output_, "registrations on port 9019", 15000);
  }
  bool ready() const { return ready_; }
  std::string Output() const { return ReadTextFile(output_); }
  bool WaitFor(const std::string& text, uint32_t timeoutMs) const { return WaitForFileText(output_, text, timeoutMs); }
  bool Command(const std::string& command) { return child_.Send(command + "\n"); }
  // Waits for text that appears after everything seen so far.
  bool WaitForNew(const std::string& text, uint32_t timeoutMs) {
    size_t from = Output().size();
    for (uint32_t waited = 0;; waited += 50) {
      std::string now = Output();
      if (now.size() > from && now.find(text, from) != std::string::npos) return true;
      if (waited >= timeoutMs) return false;
      platform::SleepMs(50);
    }
  }

 private:
  std::string output_;
  ScopedChild child_;
  bool ready_ = false;
};

class NodeOnTheNetwork : public testing::Test {
 protected:
  void SetUp() override {
    directory_ = MakeFreshDirectory("network");
    stub_ = std::make_unique<StubSimulator>(directory_);
    ASSERT_TRUE(stub_->ready());
    commgr_ = std::make_unique<StandInCommgr>(directory_);
    ASSERT_TRUE(commgr_->ready()) << commgr_->Output();
    port_ = stub_->port();
    WriteWholeFile(In("ZemSim.cfg"), "ipaddress 127.0.0.1\nport " + std::to_string(port_) + "\nsimserver " +
                                         stub_->endpoint() + "\n");
    node_ = std::make_unique<ScopedChild>(std::vector<std::string>{ProgramBeside("zemsim")}, directory_,
                                          In("console.txt"));
    ASSERT_TRUE(WaitForFileText(In("console.txt"), "Connected to CommMgr\n", 15000))
        << ReadTextFile(In("console.txt")) << commgr_->Output();
  }
  std::string In(const char* name) const { return (fs::path(directory_) / name).string(); }
  std::string Console() const { return ReadTextFile(In("console.txt")); }

  std::string directory_;
  std::unique_ptr<StubSimulator> stub_;
  std::unique_ptr<StandInCommgr> commgr_;
  std::unique_ptr<ScopedChild> node_;
  uint16_t port_ = 0;
};

TEST_F(NodeOnTheNetwork, RegistersConnectsAndMirrorsTheSimulator) {
  std::string registration = "registration from 127.0.0.1: \"0.0.0.0 " + std::to_string(port_) + " 1 1502\" from node 14";
  EXPECT_TRUE(commgr_->WaitFor(registration, 5000)) << commgr_->Output();
  EXPECT_TRUE(commgr_->WaitFor("recv block1 seq=", 10000));
  EXPECT_TRUE(commgr_->WaitFor("recv block2 seq=", 5000));
  EXPECT_TRUE(commgr_->WaitFor("model=ZemSim St ", 5000)) << "nine characters of the simulator's model name";
  EXPECT_TRUE(commgr_->WaitFor("recv block3 seq=", 5000));
  EXPECT_TRUE(commgr_->WaitFor("connected=1 hotkey=0", 5000));
  // The traffic loop's first pass comes five seconds after its start.
  EXPECT_TRUE(commgr_->WaitFor("recv air traffic seq=", 10000));
  EXPECT_TRUE(commgr_->WaitFor("aircraft=5\n", 15000)) << commgr_->Output();
  EXPECT_TRUE(commgr_->WaitFor("ident=N123AB ", 5000));
}

TEST_F(NodeOnTheNetwork, VariableChangesReachTheSimulatorAsTheirWrites) {
  ASSERT_TRUE(commgr_->Command("items i:165=5 d:114=1000 i:116=90"));
  EXPECT_TRUE(stub_->WaitForOutput("write 0x07BC 4: 05 00 00 00\n", 5000)) << stub_->Output();
  EXPECT_TRUE(stub_->WaitForOutput("write 0x0330 2: 01 00\n", 5000));
  EXPECT_TRUE(stub_->WaitForOutput("write 0x07CC 2: 00 40\n", 5000));
}

TEST_F(NodeOnTheNetwork, TheOpenedGateBringsGroundTraffic) {
  ASSERT_TRUE(commgr_->Command("gate 0"));
  EXPECT_TRUE(commgr_->WaitFor("recv ground traffic seq=", 20000)) << commgr_->Output();
  EXPECT_TRUE(commgr_->WaitFor("ident=DAL88 ", 5000));
}

TEST_F(NodeOnTheNetwork, SilenceDropsTheConnectionAndTheNodeRegistersUntilAnswered) {
  ASSERT_TRUE(commgr_->Command("silence"));
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "Connection with CommMgr lost\n", 12000)) << Console();
  EXPECT_TRUE(commgr_->WaitForNew("registration from 127.0.0.1", 3000)) << "one a second while not connected";
  EXPECT_TRUE(commgr_->WaitForNew("registration from 127.0.0.1", 3000));
  ASSERT_TRUE(commgr_->Command("talk"));
  // The address answer to the next registration connects at once.
  EXPECT_TRUE(WaitForFileText(In("console.txt"), "Connection with CommMgr lost\nConnected to CommMgr\n", 5000))
      << Console();
}

TEST_F(NodeOnTheNetwork, ShutdownEndsTheNodeWith100) {
  ASSERT_TRUE(commgr_->Command("shutdown"));
  int code = 0;
  ASSERT_TRUE(node_->WaitForExit(10000, code));
  EXPECT_EQ(code, 100);
  EXPECT_NE(ReadWholeFile(In("ZemSim.log")).find("Shutdown message received. Bye\n"), std::string::npos);
}

}  // namespace
