#include "net/receive.h"

#include <atomic>
#include <cstring>
#include <string>

#include "net/ipv4_text.h"
#include "net/msg_check.h"
#include "net/net_state.h"
#include "platform/platform.h"
#include "process/exit_codes.h"
#include "process/fatal.h"
#include "process/log.h"
#include "process/print.h"
#include "process/process_state.h"
#include "process/report_limit.h"
#include "process/syslog.h"
#include "process/text.h"
#include "record/recorder.h"
#include "vardb/change_var.h"
#include "vardb/var_table.h"
#include "wire/bytes.h"
#include "wire/data_items.h"
#include "wire/msg_header.h"

namespace {

std::atomic<bool> unknownDataTypeReported{false};

// Anybody on the network may send what is refused here: each kind of
// report is limited, so that a flood of them cannot fill the disk.
ReportLimit overrunReports{"PollUDP() - Fatal: Buffer over run on DGRAM", true};
ReportLimit emptyReports{"Zero Length msg received", true};
ReportLimit shortReports{"PollUDP() - Datagram shorter than a message header", false};
ReportLimit classReports{"PollUDP() - Unhandled MSG CLASS", true};
ReportLimit keepAliveVersionReports{"HandleNetworkMsgs(Keep Alive) - Invalid message received", true};
ReportLimit addressVersionReports{"HandleNetworkMsgs(Address) - Invalid message received", true};
ReportLimit addressReports{"HandleNetworkMsgs(Address) - Address message without a usable address and port", false};
ReportLimit networkTypeReports{"HandleNetworkMsgs() - Unhandled MSG_TYPE", true};
ReportLimit dataTypeReports{"HandleDataMsgs() - Unknown MSG_TYPE", true};
ReportLimit dataVersionReports{"HandleDataMsgs(FSX IN) - Invalid message received", true};
ReportLimit itemPastReports{"HandleDataMsgs() - Item runs past the bytes received", false};
ReportLimit varTypeReports{"HandleDataMsgs() - Unhandled vartype", true};
ReportLimit refusedItemReports{"HandleDataMessages() - Item refused", false};

void PrintAndLog(const char* text) {
  Print(text);
  Log(text);
}

// The address message's text: an address (cut at 199 characters) and a
// decimal port; false when either is missing.
bool ParseAddressText(const char* text, char (&address)[200], int32_t& port) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  size_t length = 0;
  for (; *p != '\0' && *p != ' ' && (*p < '\t' || *p > '\r'); ++p) {
    if (length < sizeof address - 1) address[length++] = *p;
  }
  address[length] = '\0';
  if (length == 0) return false;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  if (!((*p >= '0' && *p <= '9') || ((*p == '-' || *p == '+') && p[1] >= '0' && p[1] <= '9'))) return false;
  port = LeadingDecimal(p);
  return true;
}

// A destination every send can reach: a unicast IPv4 address and a port
// from 1 to 65535.
bool IsUsableDestination(uint32_t address, int32_t port) {
  return address != INVALID_IPV4 && address != 0 && port >= 1 && port <= 65535;
}

void HandleAddress(const uint8_t* message) {
  char address[200];
  int32_t port = 0;
  // Anything else would connect the node to a place where every send fails.
  if (!ParseAddressText(reinterpret_cast<const char*>(message + MSG_HEADER_SIZE), address, port) ||
      !IsUsableDestination(ParseDottedDecimal(address), port)) {
    if (AdmitReport(addressReports)) {
      Log("HandleNetworkMsgs(Address) - Address message without a usable address and port dropped\n");
      DumpMessage(message, "HandleNetworkMessages(Address)");
    }
    return;
  }
  // Never swapped under a send in progress; without the lock the message is
  // dropped (and reported by the lock) and the next one is taken.
  if (!GetResource(NetState.ClientLock, "HandleNetworkMsgs()")) return;
  if (NetState.ClientSocket != platform::NO_SOCKET && !platform::UdpClose(NetState.ClientSocket)) {
    Print("Error closing existing socket\n");
  }
  NetState.ClientSocket = platform::UdpOpen();
  if (NetState.ClientSocket == platform::NO_SOCKET) {
    ReleaseResource(NetState.ClientLock, "HandleNetworkMsgs()");
    Log("PollUdp() - Socket Open Failure\n");
    Print("Unable to continue. Check log for details\n");
    PressEnterExit();
  }
  NetState.CommMgrAddr = Ipv4Endpoint{ParseDottedDecimal(address), static_cast<uint16_t>(port)};
  NetState.AddressKnown = true;
  ReleaseResource(NetState.ClientLock, "HandleNetworkMsgs()");
  if (!NetState.Connected) {
    PrintFormat("Connected to CommMgr\n   Port: %d\n     IP: %s\n", port, address);
    RecordComMgrConnected(std::string(address) + ":" + std::to_string(port));
    NetState.Connected = true;
    NetState.UnansweredRegistrations = 0;
  }
  NetState.MsgArrived = true;
}

}  // namespace

void HandleNetworkMsgs(const uint8_t* message, size_t) {
  MsgHeader header = ReadMsgHeader(message);
  switch (header.MsgType) {
    case MSG_KEEP_ALIVE:
      if (!ValidateMsgVersion(message, "HandleNetworkMsgs(KA)")) {
        if (AdmitReport(keepAliveVersionReports)) {
          Print("HandleNetworkMsgs(Keep Alive) - Invalid message received\n");
          DumpMessage(message, "HandleNetworkMessages(Keep Alive)");
        }
        return;
      }
      NetState.MsgArrived = true;
      return;
    case MSG_ADR:
      if (!ValidateMsgVersion(message, "HandleNetworkMsgs(ADR)")) {
        if (AdmitReport(addressVersionReports)) {
          Print("HandleNetworkMsgs(Address) - Invalid message received\n");
          DumpMessage(message, "HandleNetworkMessages(Address)");
        }
        return;
      }
      HandleAddress(message);
      return;
    case MSG_SHUTDOWN:
      if (GetResource(NetState.ClientLock, "HandleNetworkMsgs()")) {
        if (NetState.ClientSocket != platform::NO_SOCKET) platform::UdpClose(NetState.ClientSocket);
        NetState.ClientSocket = platform::NO_SOCKET;
        ReleaseResource(NetState.ClientLock, "HandleNetworkMsgs()");
      }
      Log("Shutdown message received. Bye\n");
      StopRecording();
      platform::ExitProcess(ExitCode::ShutdownMessage);
    default: {
      if (!AdmitReport(networkTypeReports)) return;
      char text[100];
      FormatText(text, sizeof text, "HandleNetworkMsgs() - Unhandled MSG_TYPE: %d\n", static_cast<int>(header.MsgType));
      PrintAndLog(text);
      DumpMessage(message, "HandleNetworkMsgs");
    }
  }
}

void HandleDataMsgs(const uint8_t* message, size_t length) {
  MsgHeader header = ReadMsgHeader(message);
  if (header.MsgType != MSG_FSX_IN) {
    const bool inFull = AdmitReport(dataTypeReports);
    char text[100];
    FormatText(text, sizeof text, "HandleDataMsgs() - Unknown MSG_TYPE: %d\n", static_cast<int>(header.MsgType));
    if (inFull) PrintAndLog(text);
    if (!unknownDataTypeReported.exchange(true)) {
      FormatText(text, sizeof text, "Unknown MSG_TYPE: %d", static_cast<int>(header.MsgType));
      SendSysLog(NodeId, 3, text);
    }
    if (inFull) DumpMessage(message, "HandleDataMessages(Msg Type");
    return;
  }
  if (!ValidateMsgVersion(message, "HandleDataMsgs")) {
    if (AdmitReport(dataVersionReports)) {
      Print("HandleDataMsgs(FSX IN) - Invalid message received\n");
      DumpMessage(message, "HandleDataMsgs(FSX IN)");
    }
    Restart();
  }
  ChangeBatch together;
  size_t position = MSG_HEADER_SIZE;
  for (int32_t item = 0; item < header.Count; ++item) {
    // Items are packed without alignment; none is read past the datagram.
    if (position + ITEM_INDEX_SIZE > length) {
      if (AdmitReport(itemPastReports)) {
        LogFormat("HandleDataMsgs() - Item %d runs past the %d bytes received\n", item, static_cast<int>(length));
      }
      return;
    }
    uint32_t fsxIndex = GetU32(message + position);
    int32_t varType = FsxVarType(fsxIndex);
    size_t width = varType == VAR_TYPE_INT ? 4 : (varType == VAR_TYPE_DOUBLE || varType == VAR_TYPE_DOUBLE_1) ? 8 : 0;
    if (width == 0) {
      if (AdmitReport(varTypeReports)) {
        char text[100];
        FormatText(text, sizeof text, "Index: %d  Unhandled vartype: %d\n", static_cast<int>(fsxIndex), varType);
        PrintAndLog(text);
        DumpMessage(message, "HandleDataMessages(VarType)");
      }
      return;
    }
    if (position + ITEM_INDEX_SIZE + width > length) {
      if (AdmitReport(itemPastReports)) {
        LogFormat("HandleDataMsgs() - Item %d runs past the %d bytes received\n", item, static_cast<int>(length));
      }
      return;
    }
    const uint8_t* value = message + position + ITEM_INDEX_SIZE;
    if (width == 4) {
      if (!ChangeVar(static_cast<int32_t>(fsxIndex), GetI32(value)) && AdmitReport(refusedItemReports)) {
        DumpMessage(message, "HandleDataMessages(int)");
      }
    } else {
      if (!ChangeVar(static_cast<int32_t>(fsxIndex), GetF64(value)) && AdmitReport(refusedItemReports)) {
        DumpMessage(message, "HandleDataMessages(double)");
      }
    }
    position += ITEM_INDEX_SIZE + width;
  }
}

void HandleDatagram(uint8_t* buffer, int n) {
  buffer[n] = 0;
  if (n < static_cast<int>(MSG_HEADER_SIZE)) {
    if (!AdmitReport(shortReports)) return;
    LogFormat("PollUDP() - Datagram of %d bytes is shorter than a message header; dropped\n", n);
    uint8_t header[MSG_HEADER_SIZE] = {};
    std::memcpy(header, buffer, static_cast<size_t>(n));
    DumpMessage(header, "PollUDP");
    return;
  }
  MsgHeader header = ReadMsgHeader(buffer);
  switch (header.MsgClass) {
    case MSG_CLASS_DATA:
      HandleDataMsgs(buffer, static_cast<size_t>(n));
      break;
    case MSG_CLASS_NETWORK:
      HandleNetworkMsgs(buffer, static_cast<size_t>(n));
      break;
    default: {
      if (!AdmitReport(classReports)) break;
      char text[100];
      FormatText(text, sizeof text, "PollUDP() - Unhandled MSG CLASS: %d\n", static_cast<int>(header.MsgClass));
      PrintAndLog(text);
      DumpMessage(buffer, "PollUDP");
    }
  }
}

void PollUDP() {
  uint8_t buffer[RECEIVE_BUFFER_SIZE + 1];
  int n = platform::UdpReceive(NetState.RecvSocket, buffer, RECEIVE_BUFFER_SIZE);
  if (n >= DATAGRAM_LIMIT) {
    if (AdmitReport(overrunReports)) {
      LogFormat("PollUDP() - Fatal: Buffer over run on DGRAM. Length = %d\n", n);
      Print("Fatal Error. Check log for details\n");
    }
    Restart();
  }
  if (n <= 0) {
    if (AdmitReport(emptyReports)) PrintAndLog("Zero Length msg received\n");
    Restart();
    // A socket that keeps failing must not flood the log while the
    // successor takes over.
    if (ProcessState.quitRequested) platform::SleepMs(10);
    return;
  }
  HandleDatagram(buffer, n);
}

void ReceiveWaiting() {
  // The changes of every message already waiting go out in one list: a
  // simulator that serves one list per frame would otherwise take a frame
  // for each message of a burst, and keep-alives would wait behind them.
  ChangeBatch waiting;
  PollUDP();
  while (!ProcessState.quitRequested && platform::UdpWaitReadable(NetState.RecvSocket, 0)) PollUDP();
}

[[noreturn]] void ReceiveThread() {
  Log("Receive Monitor Thread has started\n");
  for (;;) ReceiveWaiting();
}
