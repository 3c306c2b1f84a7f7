// The Windows build of the node under wine, beside the Windows simstub: the
// simulator reached through its server window (atom, named mapping, the
// registered message), ComMgr native. Skipped where the Windows build or
// wine is absent.

#include "support/files.h"
#include "support/node_peers.h"

namespace {

class WindowsNodeUnderWine : public NodeWithPeers {
 protected:
  void SetUp() override {
    nodeProgram_ = UnderWine("zemsim.exe");
    stubProgram_ = UnderWine("simstub.exe");
    if (nodeProgram_.empty() || stubProgram_.empty()) GTEST_SKIP() << "no Windows build or no wine";
    viaSimServer_ = false;
    NodeWithPeers::SetUp();
    if (!HasFatalFailure()) StartNode();
  }
};

TEST_F(WindowsNodeUnderWine, RegistersMirrorsTheSimulatorAppliesChangesAndShutsDownWith100) {
  EXPECT_TRUE(commgr_->WaitFor("registration from 127.0.0.1: \"0.0.0.0 " + std::to_string(port_), 5000))
      << commgr_->Output();
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "Connected to simulator\n", 30000)) << Console();
  EXPECT_NE(stub_->Output().find("server window UIPCMAIN"), std::string::npos) << stub_->Output();

  // The blocks carry what the simulator holds (each field's place is the golden images' business).
  EXPECT_TRUE(commgr_->WaitFor("model=ZemSim St activation=0 com1=123.45 nav1=110.95\n", 10000)) << commgr_->Output();

  ASSERT_TRUE(commgr_->Command("items i:165=5 d:114=1000"));
  EXPECT_TRUE(stub_->WaitFor("write 0x07BC 4: 05 00 00 00\n", 10000)) << stub_->Output();
  EXPECT_TRUE(stub_->WaitFor("write 0x0330 2: 01 00\n", 5000));

  ASSERT_TRUE(commgr_->Command("shutdown"));
  int code = 0;
  ASSERT_TRUE(node_->WaitForExit(20000, code)) << Console();
  EXPECT_EQ(code, 100);
  EXPECT_NE(Log().find("Shutdown message received. Bye\n"), std::string::npos);
}

}  // namespace
