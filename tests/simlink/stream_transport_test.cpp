// The stream transport against the stand-in simulator on loopback.

#include "process/settings.h"
#include "process/text.h"
#include "simlink/ipc_link.h"
#include "simlink/ipc_stream_transport.h"
#include "support/test_support.h"

namespace {

struct EndpointCase {
  const char* text;
  bool valid;
  const char* host;
  uint16_t port;
};

class Endpoints : public testing::TestWithParam<EndpointCase> {};

TEST_P(Endpoints, AreHostColonPort) {
  std::string host;
  uint16_t port = 0;
  EXPECT_EQ(ParseSimServer(GetParam().text, host, port), GetParam().valid);
  if (GetParam().valid) {
    EXPECT_EQ(host, GetParam().host);
    EXPECT_EQ(port, GetParam().port);
  }
}

void PrintTo(const EndpointCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

INSTANTIATE_TEST_SUITE_P(Table, Endpoints,
                         testing::Values(EndpointCase{"127.0.0.1:9300", true, "127.0.0.1", 9300},
                                         EndpointCase{"simhost:65535", true, "simhost", 65535},
                                         EndpointCase{"127.0.0.1", false, "", 0},
                                         EndpointCase{":9300", false, "", 0},
                                         EndpointCase{"host:", false, "", 0},
                                         EndpointCase{"host:65536", false, "", 0},
                                         EndpointCase{"host:0", false, "", 0},
                                         EndpointCase{"host:93x0", false, "", 0}));

class StreamLink : public testing::Test {
 protected:
  void SetUp() override {
    directory_ = MakeFreshDirectory("stream");
    Settings = SettingsRecord{};
    IpcTiming = IpcTimingRecord{};
    IpcTiming.handshakeSleepMs = 0;
    SetIpcTransport(nullptr);
  }
  void TearDown() override {
    IpcClose();
    Settings = SettingsRecord{};
    IpcTiming = IpcTimingRecord{};
  }
  void UseServer(const StubSimulator& stub) { CopyText(Settings.simserver, stub.endpoint()); }

  bool ReadText(uint32_t offset, char* text, uint32_t size, uint32_t& code) {
    return IpcQueueRead(offset, size, text, code) && IpcProcess(code);
  }

  std::string directory_;
};

TEST_F(StreamLink, HandshakeReadAndWriteReachTheServer) {
  StubSimulator stub(directory_);
  ASSERT_TRUE(stub.ready()) << stub.Output();
  UseServer(stub);
  uint32_t code = 99;
  ASSERT_TRUE(IpcOpen(code)) << code;
  EXPECT_GE(IpcLink.serverVersion, IPC_MIN_SERVER_VERSION);

  char model[24] = {};
  ASSERT_TRUE(ReadText(0x3500, model, sizeof model, code)) << code;
  EXPECT_STREQ(model, "ZemSim Stub Jet");

  const uint8_t value[4] = {5, 0, 0, 0};
  ASSERT_TRUE(IpcQueueWrite(0x07BC, 4, value, code));
  ASSERT_TRUE(IpcProcess(code));
  EXPECT_TRUE(stub.WaitForOutput("write 0x07BC 4: 05 00 00 00\n", 5000)) << stub.Output();
  EXPECT_TRUE(stub.Command("get 0x07BC 4", "get 0x07BC 4: 05 00 00 00"));
}

}  // namespace
