// zemsim, simstub and commgr as real processes on loopback: the node at
// work end to end.

#include "support/node_peers.h"

namespace {

class NodeOnTheNetwork : public NodeWithPeers {
 protected:
  void SetUp() override {
    NodeWithPeers::SetUp();
    if (!HasFatalFailure()) StartNode();
  }
};

TEST_F(NodeOnTheNetwork, InstallsTheKeyAndPollsWithoutLosingTheSimulator) {
  ASSERT_TRUE(WaitForConsoleCount("Connected to simulator\n", 1, 10000)) << Console();
  // The TAB key goes into the first free slot.
  EXPECT_TRUE(stub_->WaitFor("write 0x3210 1: 09\nwrite 0x3211 1: 18\n", 5000)) << stub_->Output();
  // ... by the connect itself: the key test, a second later, found it there.
  EXPECT_EQ(Console().find("Initializing keys"), std::string::npos) << Console();
  // Thirty lists served, then the node's whole run is over: none of them lost the link.
  EXPECT_TRUE(Eventually([&] { return stub_->Ask("lists", "lists ") && std::stoi(LastAfter(stub_->Output(), "lists ")) >= 30; },
                         10000));
  ASSERT_TRUE(commgr_->Command("shutdown"));
  int code = 0;
  ASSERT_TRUE(node_->WaitForExit(10000, code)) << Console();
  EXPECT_EQ(Console().find("Simulator disconnected"), std::string::npos) << Console();
}

// What ComMgr's monitor shows of the blocks and the traffic is what the
// simulator holds, end to end.
TEST_F(NodeOnTheNetwork, CommgrShowsTheSimulatorsValues) {
  ASSERT_TRUE(stub_->Ask("freeze", "frozen"));
  for (const char* command : {"set 0x034E 12 27", "set 0x0350 15 08", "set 0x02BC 80 44 00 00", "set 0x057C C8 71 1C F7",
                              "set 0x07CC 8E C3", "set 0x2010 00 00 00 00 00 E0 55 40", "set 0x2110 33 33 33 33 33 D3 56 40",
                              "text 0x3500 Cessna 172 Skyhawk",
                              "set 0xF080 92 10 00 00 00 00 48 41 00 00 35 C2 00 80 3B 45 00 80 8C 00 00 00 54 45 53 54 30 31 00"}) {
    ASSERT_TRUE(stub_->Ask(command, "ok")) << command;
  }
  for (const char* shown : {"n1=87.5/91.3\n", "model=Cessna 17 activation=0 com1=127.12 nav1=108.15\n",
                            "ias=137 bank=-12.5 ap_hdg=275\n",
                            "aircraft id=4242 ident=TEST01 lat=12.5000 lon=-45.2500 alt=3000 hdg=180.0 gs=140\n"}) {
    EXPECT_TRUE(commgr_->WaitFor(shown, 15000)) << shown << commgr_->Output();
  }
}

// Knob steps start from the last values the polling loop read, which it
// refreshes meanwhile on its own thread: each step still writes a whole
// frequency and heading. (Under the thread checker, any unguarded read of a
// block being refreshed fails the run.)
TEST_F(NodeOnTheNetwork, KnobStepsWhileTheBlocksRefreshWriteWholeValues) {
  constexpr int kSteps = 40;
  ASSERT_TRUE(WaitForConsoleCount("Connected to simulator\n", 1, 10000)) << Console();
  ASSERT_TRUE(commgr_->WaitFor("recv block3 seq=", 10000));
  for (int step = 0; step < kSteps; ++step) {
    ASSERT_TRUE(commgr_->Command("int 83 0 100 1"));  // COM1 up 5 kHz, autopilot heading up 1 degree
    platform::SleepMs(30);  // steps a few blocks apart, as a turned knob sends them
  }
  const std::string com = "write 0x034E 2: ";
  Eventually([&] { return CountOf(stub_->Output(), com) >= kSteps; }, 10000);
  const std::string output = stub_->Output();
  EXPECT_EQ(CountOf(output, com), kSteps) << output;
  EXPECT_EQ(CountOf(output, "write 0x07CC 2: "), kSteps);
  for (size_t at = output.find(com); at != std::string::npos; at = output.find(com, at + 1)) {
    const auto low = std::stoul(output.substr(at + com.size(), 2), nullptr, 16);
    const auto high = std::stoul(output.substr(at + com.size() + 3, 2), nullptr, 16);
    for (auto digit : {low & 0xF, low >> 4, high & 0xF, high >> 4}) EXPECT_LE(digit, 9u) << output.substr(at, 24);
  }
}

}  // namespace
