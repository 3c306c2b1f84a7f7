// The stream transport against a server of the test's own on loopback: what
// the link makes of a server that refuses a list or answers it wrongly, or
// of no server at all.

#include <atomic>
#include <thread>

#include "ipc/stream_transport.h"
#include "platform/server.h"
#include "process/text.h"
#include "support/sim_fixture.h"
#include "wire/bytes.h"

namespace {

// How the server answers every list from the moment the test says so.
enum class Reply { Sound, Refused, Longer, Shorter, CutShort };

// Serves each connection in turn; the versions handshake always gets a sound answer.
class LoopbackStreamServer {
 public:
  explicit LoopbackStreamServer(OffsetSpace& space) : space_(space), listener_(platform::TcpListen(0x7F000001, 0)) {
    port_ = platform::LocalPort(listener_);
    thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackStreamServer() {
    stop_ = true;
    platform::IoStatus status;
    platform::CloseSocket(platform::TcpConnect(0x7F000001, port_, 1000, status));  // wakes the accept
    thread_.join();
    platform::CloseSocket(listener_);
  }
  std::string endpoint() const { return "127.0.0.1:" + std::to_string(port_); }
  std::atomic<Reply> reply{Reply::Sound};

 private:
  void Run() {
    while (!stop_) {
      platform::SocketHandle connection = platform::TcpAccept(listener_);
      if (connection == platform::NO_SOCKET) continue;
      while (!stop_ && ServeOne(connection)) {
      }
      platform::CloseSocket(connection);
    }
  }
  bool ServeOne(platform::SocketHandle connection) {
    uint8_t prefix[4];
    if (platform::ReceiveAll(connection, prefix, 4, 5000) != platform::IoStatus::Ok) return false;
    std::vector<uint8_t> list(GetU32(prefix));
    if (list.size() > IPC_LIST_LIMIT || platform::ReceiveAll(connection, list.data(), list.size(), 5000) != platform::IoStatus::Ok) {
      return false;
    }
    space_.Execute(list.data(), static_cast<uint32_t>(list.size()));
    const Reply how = reply.load();
    uint8_t header[8];
    PutU32(header, how == Reply::Refused ? 0 : 1);
    const uint32_t length = static_cast<uint32_t>(list.size());
    PutU32(header + 4, how == Reply::Longer ? length + 4 : how == Reply::Shorter ? length - 4 : length);
    const size_t sent = how == Reply::CutShort ? list.size() / 2 : list.size();
    return platform::SendAll(connection, header, 8, 5000) == platform::IoStatus::Ok &&
           platform::SendAll(connection, list.data(), sent, 5000) == platform::IoStatus::Ok &&
           (how == Reply::Sound || how == Reply::Refused);
  }

  OffsetSpace& space_;
  platform::SocketHandle listener_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct ReplyCase {
  const char* name;
  Reply reply;
  uint32_t code;
  bool linkUsableAfter;  // a refusal is an answer; a broken reply leaves the link dead
};

class StreamReplies : public SimulatorTest, public testing::WithParamInterface<ReplyCase> {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    SetIpcTransport(nullptr);
    CopyText(Settings.simserver, stream.endpoint());
    IpcTiming.sendAttempts = 3;
  }
  LoopbackStreamServer stream{server.space};
};

TEST_P(StreamReplies, FailTheListAndCopyNothing) {
  ASSERT_EQ(FSUIPCConnect(), 0u);
  PutBytes(0x1000, {1, 2, 3, 4});
  stream.reply = GetParam().reply;
  uint8_t read[4] = {9, 9, 9, 9};
  uint32_t code = 0;
  ASSERT_TRUE(IpcQueueRead(0x1000, 4, read, code));
  EXPECT_FALSE(IpcProcess(code));
  EXPECT_EQ(code, GetParam().code);
  EXPECT_EQ(std::vector<uint8_t>(read, read + 4), (std::vector<uint8_t>{9, 9, 9, 9}));

  stream.reply = Reply::Sound;
  ASSERT_TRUE(IpcQueueRead(0x1000, 4, read, code));
  EXPECT_EQ(IpcProcess(code), GetParam().linkUsableAfter) << code;
}

INSTANTIATE_TEST_SUITE_P(Table, StreamReplies,
                         testing::Values(ReplyCase{"AnswerOtherThanOne", Reply::Refused, 13, true},
                                         ReplyCase{"LongerThanTheList", Reply::Longer, 12, false},
                                         ReplyCase{"ShorterThanTheList", Reply::Shorter, 12, false},
                                         ReplyCase{"CutShort", Reply::CutShort, 12, false}),
                         RowName());

TEST_F(SimulatorTest, NothingListeningAtSimserverLeavesTheLinkDown) {
  platform::SocketHandle taken = platform::TcpListen(0x7F000001, 0);
  const uint16_t port = platform::LocalPort(taken);
  platform::CloseSocket(taken);  // a port where nobody listens now
  SetIpcTransport(nullptr);
  CopyText(Settings.simserver, "127.0.0.1:" + std::to_string(port));
  uint32_t code = 0;
  EXPECT_FALSE(IpcOpen(code));
  EXPECT_EQ(code, 2u);
  EXPECT_NE(FSUIPCConnect(), 0u);
  EXPECT_FALSE(SimConnected);
}

}  // namespace
