// The node on another PC than the simulator: the native node reaches, over
// TCP, simbridge.exe under wine, which passes its lists through the server
// window of simstub.exe. Skipped where the Windows build or wine is absent.

#include "support/node_peers.h"

namespace fs = std::filesystem;

namespace {

class Bridge : public NodeWithPeers {
 protected:
  void SetUp() override {
    bridgeProgram_ = UnderWine("simbridge.exe");
    stubProgram_ = UnderWine("simstub.exe");
    if (bridgeProgram_.empty() || stubProgram_.empty()) GTEST_SKIP() << "no Windows build or no wine";
    viaSimServer_ = false;
    NodeWithPeers::SetUp();
  }

  void TearDown() override {
    bridge_.reset();
    NodeWithPeers::TearDown();
  }

  // The bridge with these configuration lines besides its listening address.
  void StartBridge(const std::string& allowLines) {
    WriteWholeFile(In("SimBridge.cfg"), "listen 127.0.0.1:0\n" + allowLines);
    bridge_ = std::make_unique<ScopedChild>(bridgeProgram_, directory_, In("bridge.txt"));
    ASSERT_TRUE(WaitForFileText(In("bridge.txt"), "Simulator link up\n", 60000)) << BridgeOutput();
    const std::string output = BridgeOutput();
    const size_t at = output.find("Listening on 127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << output;
    bridgePort_ = static_cast<uint16_t>(std::stoi(output.substr(at + 23)));
  }
  std::string BridgeOutput() const { return ReadTextFile(In("bridge.txt")); }

  uint64_t ListsServedByTheSimulator() {
    EXPECT_TRUE(stub_->Ask("lists", "lists "));
    std::string output = stub_->Output();
    return std::stoull(output.substr(output.rfind("lists ") + 6));
  }

  std::vector<std::string> bridgeProgram_;
  uint16_t bridgePort_ = 0;
  std::unique_ptr<ScopedChild> bridge_;
};

TEST_F(Bridge, CarriesTheNodeToTheSimulatorAndStaysWhenTheSimulatorRestarts) {
  StartBridge("allow 127.0.0.1\n");
  WriteWholeFile(In("ZemSim.cfg"), ReadWholeFile(In("ZemSim.cfg")) + "simserver 127.0.0.1:" +
                                       std::to_string(bridgePort_) + "\n");
  StartNode();
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "Connected to simulator\n", 30000)) << Console() << BridgeOutput();
  EXPECT_NE(BridgeOutput().find("Client 127.0.0.1 accepted"), std::string::npos);

  // What the simulator answered comes back through the bridge.
  EXPECT_TRUE(commgr_->WaitFor("model=ZemSim St ", 10000)) << commgr_->Output();
  EXPECT_TRUE(commgr_->WaitFor("connected=1 hotkey=0", 10000));
  ASSERT_TRUE(commgr_->Command("items i:165=5 d:114=1000"));
  EXPECT_TRUE(stub_->WaitFor("write 0x07BC 4: 05 00 00 00\n", 10000)) << stub_->Output();

  const uint16_t stubPort = stub_->port();
  stub_->Kill();
  ASSERT_TRUE(WaitForConsoleCount("Simulator disconnected\n", 1, 30000)) << Console() << BridgeOutput();
  stub_ = std::make_unique<StubSimulator>(directory_, stubPort, std::vector<std::string>{}, stubProgram_);
  ASSERT_TRUE(stub_->ready());
  EXPECT_TRUE(WaitForConsoleCount("Connected to simulator\n", 2, 60000)) << Console() << BridgeOutput();
  int code = 0;
  EXPECT_FALSE(bridge_->WaitForExit(0, code)) << "the bridge stays up";
  EXPECT_NE(BridgeOutput().find("Simulator link down"), std::string::npos) << BridgeOutput();
}

TEST_F(Bridge, RefusesAClientOutsideTheAllowList) {
  StartBridge("allow 192.168.77.0/24\n");
  platform::IoStatus status = platform::IoStatus::Ok;
  platform::SocketHandle client = platform::TcpConnect(0x7F000001, bridgePort_, 5000, status);
  ASSERT_NE(client, platform::NO_SOCKET);
  uint8_t byte = 0;
  EXPECT_EQ(platform::ReceiveAll(client, &byte, 1, 10000), platform::IoStatus::Closed) << "closed at once";
  platform::CloseSocket(client);
  EXPECT_TRUE(WaitForFileText(In("bridge.txt"), "Client 127.0.0.1 refused: not allowed\n", 5000)) << BridgeOutput();
}

// Sends the list on a connection of its own; true when the bridge answered.
bool Answered(uint16_t port, const std::vector<uint8_t>& list) {
  platform::IoStatus status = platform::IoStatus::Ok;
  platform::SocketHandle client = platform::TcpConnect(0x7F000001, port, 5000, status);
  if (client == platform::NO_SOCKET) return false;
  uint8_t prefix[4];
  PutU32(prefix, static_cast<uint32_t>(list.size()));
  platform::SendAll(client, prefix, 4, 5000);
  platform::SendAll(client, list.data(), list.size(), 5000);
  uint8_t header[8];
  bool answered = platform::ReceiveAll(client, header, sizeof header, 15000) == platform::IoStatus::Ok;
  platform::CloseSocket(client);
  return answered;
}

TEST_F(Bridge, HostileListsNeverReachTheSimulator) {
  StartBridge("allow 127.0.0.1\n");
  const uint64_t before = ListsServedByTheSimulator();
  std::vector<std::vector<uint8_t>> hostile = {
      Words({1, 0x3304, 4000, 0, 0}),  // a read past the list
      Words({0, 2, 0x0330, 2}),        // bytes after the terminator
  };
  for (const fs::directory_entry& seed : fs::directory_iterator(fs::path(ZEMSIM_SOURCE_DIR) / "fuzz/corpus/result_copy")) {
    std::string bytes = ReadWholeFile(seed.path().string());
    hostile.emplace_back(bytes.begin(), bytes.end());
  }
  for (const std::vector<uint8_t>& list : hostile) EXPECT_FALSE(Answered(bridgePort_, list)) << list.size() << " bytes";
  EXPECT_EQ(ListsServedByTheSimulator(), before) << "no hostile byte reached the simulator";
  EXPECT_TRUE(Answered(bridgePort_, Words({1, 0x3304, 4, 0, 0, 0}))) << "a sound list still gets through";
  EXPECT_EQ(ListsServedByTheSimulator(), before + 1);
}

}  // namespace
