// The node on another PC than the simulator: the native node reaches, over
// TCP, simbridge.exe under wine, which passes its lists through the server
// window of simstub.exe. Skipped where the Windows build or wine is absent.

#include "support/files.h"
#include "support/message_bytes.h"
#include "support/node_peers.h"
#include "support/processes.h"
#include "wire/bytes.h"

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

// simbridge itself, native: without a server window it answers every sound
// list with 0 at once, which is all it takes to see how it keeps its clients.
class BridgeClients : public testing::Test {
 protected:
  void TearDown() override {
    for (platform::SocketHandle client : clients_) platform::CloseSocket(client);
  }
  void StartBridge(const std::string& lines) {
    WriteWholeFile(run_.In("SimBridge.cfg"), "listen 127.0.0.1:0\n" + lines);
    bridge_ = std::make_unique<ScopedChild>(std::vector<std::string>{ProgramBeside("simbridge")}, run_.path(),
                                            run_.In("bridge.txt"));
    const std::string listening = "Listening on 127.0.0.1:";
    ASSERT_TRUE(Eventually([&] { return Output().find("\n", Output().find(listening)) != std::string::npos; }, 10000))
        << Output();
    port_ = static_cast<uint16_t>(std::stoi(LastAfter(Output(), "Listening on 127.0.0.1:")));
  }
  std::string Output() const { return ReadTextFile(run_.In("bridge.txt")); }
  int Count(const std::string& line) const {
    int count = 0;
    for (const std::string& said : SplitLines(Output())) count += said == line ? 1 : 0;
    return count;
  }
  bool Said(const std::string& line, int times = 1) const {
    return Eventually([&] { return Count(line) >= times; }, 10000);
  }
  platform::SocketHandle Connect() {
    platform::IoStatus status = platform::IoStatus::Error;
    clients_.push_back(platform::TcpConnect(0x7F000001, port_, 5000, status));
    EXPECT_NE(clients_.back(), platform::NO_SOCKET);
    return clients_.back();
  }
  // A sound list, answered (with 0: no simulator here).
  bool ListAnswered(platform::SocketHandle client) {
    const std::vector<uint8_t> list = Words({1, 0x3304, 4, 0, 0, 0});
    uint8_t prefix[4];
    PutU32(prefix, static_cast<uint32_t>(list.size()));
    std::vector<uint8_t> reply(8 + list.size());
    return platform::SendAll(client, prefix, 4, 5000) == platform::IoStatus::Ok &&
           platform::SendAll(client, list.data(), list.size(), 5000) == platform::IoStatus::Ok &&
           platform::ReceiveAll(client, reply.data(), reply.size(), 5000) == platform::IoStatus::Ok;
  }
  // The bridge has closed the connection (within the time-out).
  static bool ClosedByTheBridge(platform::SocketHandle client, uint32_t timeoutMs) {
    uint8_t byte = 0;
    return platform::ReceiveAll(client, &byte, 1, timeoutMs) == platform::IoStatus::Closed;
  }

  RunDirectory run_{"bridge-clients"};
  std::unique_ptr<ScopedChild> bridge_;
  uint16_t port_ = 0;
  std::vector<platform::SocketHandle> clients_;
};

// A node PC that lost its power or its cable sends nothing more: its place
// is let go after the idle time, counted from its last list.
TEST_F(BridgeClients, ASilentClientIsLetGoAfterTheIdleTime) {
  StartBridge("idle 2\n");
  platform::SocketHandle client = Connect();
  for (int list = 0; list < 3; ++list) {
    ASSERT_TRUE(ListAnswered(client)) << "lists half the idle time apart keep it: " << list << "\n" << Output();
    platform::SleepMs(1000);
  }
  EXPECT_TRUE(ClosedByTheBridge(client, 10000)) << Output();
  EXPECT_TRUE(Said("Client 127.0.0.1 sent no list for 2 s; closed")) << Output();
}

// Clients over the limit are refused; a client that leaves, even part-way
// through a list, frees its place for the next.
TEST_F(BridgeClients, OverTheLimitAreRefusedUntilAPlaceIsFree) {
  StartBridge("clients 2\n");
  platform::SocketHandle first = Connect();
  platform::SocketHandle second = Connect();
  ASSERT_TRUE(Said("Client 127.0.0.1 accepted", 2)) << Output();
  platform::SocketHandle third = Connect();
  EXPECT_TRUE(ClosedByTheBridge(third, 10000)) << Output();
  EXPECT_TRUE(Said("Client 127.0.0.1 refused: 2 clients are served already")) << Output();
  EXPECT_TRUE(ListAnswered(second)) << "those let in are served meanwhile";

  const uint8_t half[2] = {0x18, 0};
  platform::SendAll(first, half, sizeof half, 5000);
  platform::CloseSocket(first);
  clients_.erase(clients_.begin());
  EXPECT_TRUE(Said("Client 127.0.0.1 closed the connection part-way through a list")) << Output();
  EXPECT_TRUE(ListAnswered(Connect())) << Output();
  EXPECT_EQ(Count("Client 127.0.0.1 accepted"), 3) << Output();
}

}  // namespace
