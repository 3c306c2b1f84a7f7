// zemsim beside the stand-in simulator, as real processes on loopback.

#include "support/node_peers.h"

namespace fs = std::filesystem;

namespace {

class NodeWithSimulator : public testing::Test {
 protected:
  void SetUp() override { directory_ = MakeFreshDirectory("nodesim"); }
  std::string In(const char* name) const { return (fs::path(directory_) / name).string(); }
  void Configure(const StubSimulator& stub) {
    // A port of its own, so that nodes of tests running side by side never meet.
    WriteWholeFile(In("ZemSim.cfg"), "ipaddress 127.0.0.1\nport " + std::to_string(stub.port()) +
                                         "\nsimserver " + stub.endpoint() + "\n");
  }
  std::string directory_;
};

TEST_F(NodeWithSimulator, ConnectsInstallsTheKeyAndReadsTheBlocks) {
  StubSimulator stub(directory_);
  ASSERT_TRUE(stub.ready());
  Configure(stub);
  ScopedChild node({ProgramBeside("zemsim")}, directory_, In("console.txt"));
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "Connected to simulator\n", 10000)) << ReadTextFile(In("console.txt"));
  // The TAB key goes into the first free slot.
  EXPECT_TRUE(stub.WaitFor("write 0x3210 1: 09\nwrite 0x3211 1: 18\n", 5000)) << stub.Output();
  // Polling reads every block without a failure: thirty lists served, and none of them lost the link.
  EXPECT_TRUE(Eventually([&] { return stub.Ask("lists", "lists ") && std::stoi(LastAfter(stub.Output(), "lists ")) >= 30; },
                         10000));
  EXPECT_EQ(ReadTextFile(In("console.txt")).find("Simulator disconnected"), std::string::npos);
}

}  // namespace
