#include "net/remote_broadcast.h"

#include <array>
#include <cstring>

#include "net/monitor.h"
#include "net/net_state.h"
#include "net/udp_startup.h"
#include "platform/platform.h"
#include "process/exit_codes.h"
#include "process/log.h"
#include "process/print.h"
#include "simlink/blocks.h"
#include "wire/msg_header.h"

static_assert(REMOTE_DATA_MESSAGE_SIZE == MSG_HEADER_SIZE + REMOTE_DATA_SIZE);

void PhoneHome() {
  NetState.RemoteBcastAddr = GetBroadcastAddress(false, NetState.SelectedIp, NetState.IpMask, REMOTE_BROADCAST_PORT);
  NetState.RemoteBcastSocket = platform::UdpOpen();
  if (NetState.RemoteBcastSocket == platform::NO_SOCKET) {
    Log("PhoneHome() - Broadcast Socket Open Failure\n");
    platform::ExitProcess(ExitCode::RemoteSocketFailed);
  }
  platform::SetBroadcast(NetState.RemoteBcastSocket, 32);
}

void RemoteBroadcastPass() {
  Print("Send Remote Data\n");
  RemoteDataRecord record{};
  if (ReadRemoteData(&record) != BlockRead::Fresh) {
    Print("ReadRemoteData() - fail\n");
    return;
  }
  std::array<uint8_t, REMOTE_DATA_MESSAGE_SIZE> message{};
  MsgHeader header;
  header.MsgClass = MSG_CLASS_DATA;
  header.MsgType = MSG_REMOTE_DATA;
  header.Source = NodeId;
  header.Version = MSG_VERSION;
  WriteMsgHeader(message.data(), header);
  std::memcpy(message.data() + MSG_HEADER_SIZE, record.data(), REMOTE_DATA_SIZE);
  SendRemoteBroadcast(message.data(), message.size());
}

[[noreturn]] void RemoteBroadcast() {
  platform::SleepMs(5000);
  Log("Remote Broadcast has started\n");
  PhoneHome();
  for (;;) {
    platform::SleepMs(200);
    RemoteBroadcastPass();
  }
}
