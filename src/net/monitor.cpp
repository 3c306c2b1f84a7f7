#include "net/monitor.h"

#include <vector>

#include "net/ipv4_text.h"
#include "net/net_state.h"
#include "platform/platform.h"
#include "process/log.h"
#include "process/print.h"
#include "process/report_limit.h"
#include "process/settings.h"
#include "process/text.h"
#include "record/recorder.h"
#include "simlink/sim_connection.h"
#include "wire/msg_header.h"

namespace {

void SendBroadcast(platform::SocketHandle socket, const Ipv4Endpoint& to, const uint8_t* message, size_t length) {
  if (platform::UdpSendTo(socket, message, length, to.address, to.port) < 0) {
    Print("Broadcast send error\n");
    Log("Broadcast send error\n");
  }
}

// Where ComMgr takes the node's messages, as a recording names it.
std::string CommMgrShown() {
  if (!GetResource(NetState.ClientLock, "MonitorTick()")) return {};
  const Ipv4Endpoint address = NetState.CommMgrAddr;
  ReleaseResource(NetState.ClientLock, "MonitorTick()");
  return DottedDecimal(address.address) + ":" + std::to_string(address.port);
}

}  // namespace

std::string RegistrationText() {
  char text[600];
  FormatText(text, sizeof text, "%s %d %d %d\n", NetState.AdvertisedIp, Settings.port, 1, 1502);
  return text;
}

void MonitorTick() {
  // The counts of refused input, once their period is over.
  SumUpReports();

  uint8_t heartbeat = static_cast<uint8_t>(NetState.Heartbeat + 1);
  NetState.Heartbeat = heartbeat;
  // It rides on the next exchange of any thread rather than costing one.
  FSUIPCWriteAlong(HEARTBEAT_OFFSET, heartbeat);

  // Taken and cleared at once, so a message arriving now counts for this tick.
  bool arrived = NetState.MsgArrived.exchange(false);
  if (NetState.Connected && !arrived) {
    if (++NetState.MissedTicks > MISSED_TICK_LIMIT) {
      NetState.Connected = false;
      RecordComMgrLost();
      Print("Connection with CommMgr lost\n");
    }
  } else if (!NetState.Connected && arrived && NetState.AddressKnown) {
    // Keep-alives alone connect only a node that knows where to send: a
    // restarted one, heard by a ComMgr that still knows it, goes on
    // registering until an address message comes.
    NetState.MissedTicks = 0;
    NetState.Connected = true;
    NetState.UnansweredRegistrations = 0;
    if (RecordingActive()) RecordComMgrConnected(CommMgrShown());
    Print("Connected to CommMgr\n");
  } else if (arrived) {
    NetState.MissedTicks = 0;
  }

  if (!NetState.Connected) {
    std::string text = RegistrationText();
    std::vector<uint8_t> message(MSG_HEADER_SIZE + text.size(), 0);
    MsgHeader header;
    header.MsgClass = MSG_CLASS_NETWORK;
    header.MsgType = MSG_KEEP_ALIVE;
    header.Source = NodeId;
    header.Version = MSG_VERSION;
    WriteMsgHeader(message.data(), header);
    std::copy(text.begin(), text.end(), message.begin() + MSG_HEADER_SIZE);
    SendMonitorBroadcast(message.data(), message.size());
    ++NetState.UnansweredRegistrations;
  }
}

[[noreturn]] void Monitor() {
  Log("Monitor has started\n");
  for (;;) {
    platform::SleepMs(1000);
    MonitorTick();
  }
}

void UDPSend(uint8_t* message, size_t length) {
  if (!NetState.Connected) return;
  MsgHeader header = ReadMsgHeader(message);
  header.Version = MSG_VERSION;
  header.Destination = NODE_COMMGR;
  header.Source = NODE_SIM;
  WriteMsgHeader(message, header);
  // The receive thread replaces socket and address under this lock.
  if (!GetResource(NetState.ClientLock, "UDPSend()")) return;
  bool sent = NetState.ClientSocket != platform::NO_SOCKET &&
              platform::UdpSendTo(NetState.ClientSocket, message, length, NetState.CommMgrAddr.address,
                                  NetState.CommMgrAddr.port) >= 0;
  ReleaseResource(NetState.ClientLock, "UDPSend()");
  if (!sent) Log("UDPSend() - Client send error\n");
}

void SendMonitorBroadcast(const uint8_t* message, size_t length) {
  SendBroadcast(NetState.MonitorBcastSocket, NetState.MonitorBcastAddr, message, length);
}

void SendRemoteBroadcast(const uint8_t* message, size_t length) {
  SendBroadcast(NetState.RemoteBcastSocket, NetState.RemoteBcastAddr, message, length);
}
