// The window-message transport against the stand-in simulator's server
// window (Windows; elsewhere there is no server window to find).

#include "process/settings.h"
#include "simlink/ipc_link.h"
#include "support/test_support.h"

namespace {

class WindowLink : public testing::Test {
 protected:
  void SetUp() override {
    Settings = SettingsRecord{};  // no simserver: the window road
    IpcTiming = IpcTimingRecord{};
    SetIpcTransport(nullptr);
  }
  void TearDown() override { IpcClose(); }
};

TEST_F(WindowLink, HandshakeReadsAndWritesThroughTheSharedBuffer) {
  if (!platform::HasWindowMessaging()) GTEST_SKIP() << "no window messages on this platform";
  std::string directory = MakeFreshDirectory("window");
  std::string output = directory + "/simstub.txt";
  ScopedChild stub({ProgramBeside("simstub"), "--port", "0"}, directory, output, true);
  ASSERT_TRUE(WaitForFileText(output, "server window UIPCMAIN", 15000)) << ReadTextFile(output);
  uint32_t code = 0;
  ASSERT_TRUE(Eventually([&] { return IpcOpen(code); }, 5000)) << code;  // the window appears shortly after the line

  for (int round = 0; round < 2; ++round) {  // a reopened link uses a buffer of a new name
    char model[24] = {};
    ASSERT_TRUE(IpcQueueRead(0x3500, sizeof model, model, code));
    ASSERT_TRUE(IpcProcess(code)) << code;
    EXPECT_STREQ(model, "ZemSim Stub Jet");
    const uint8_t value[2] = {0x34, static_cast<uint8_t>(0x12 + round)};
    ASSERT_TRUE(IpcQueueWrite(0x0262, 2, value, code));
    ASSERT_TRUE(IpcProcess(code));
    EXPECT_TRUE(WaitForFileText(output, round == 0 ? "write 0x0262 2: 34 12\n" : "write 0x0262 2: 34 13\n", 5000));
    IpcClose();
    if (round == 0) {
      ASSERT_TRUE(IpcOpen(code)) << code;
    }
  }
}

}  // namespace
