#include "net/udp_startup.h"

#include <cstring>
#include <string>

#include "net/ipv4_text.h"
#include "process/log.h"
#include "process/print.h"
#include "process/process_state.h"
#include "process/settings.h"
#include "process/text.h"

namespace {

void PrintAndLog(const char* format, const char* text) {
  char line[400];
  FormatText(line, sizeof line, format, text);
  Print(line);
  Log(line);
}

constexpr uint32_t BIND_WAIT_MS = 30000;
constexpr uint32_t BIND_RETRY_MS = 250;

// A restarted instance may find its predecessor still on the port (on
// Windows the predecessor can be inside a simulator exchange for about 19 s
// before it ends): it waits for the port a while instead of ending at once,
// which would leave no node running.
bool BindReceiveSocket(uint32_t address, uint16_t port) {
  bool inUse = false;
  if (platform::UdpBind(NetState.RecvSocket, address, port, &inUse)) return true;
  if (!inUse || ProcessState.restartCount <= 0) return false;
  LogFormat("InitUDP() - Port %d is in use; waiting up to %d s for it\n", static_cast<int>(port),
            static_cast<int>(BIND_WAIT_MS / 1000));
  for (uint32_t waited = 0; waited < BIND_WAIT_MS; waited += BIND_RETRY_MS) {
    platform::SleepMs(BIND_RETRY_MS);
    if (platform::UdpBind(NetState.RecvSocket, address, port, &inUse)) return true;
    if (!inUse) return false;
  }
  return false;
}

}  // namespace

Ipv4Endpoint& GetBroadcastAddress(bool print, const char* addressText, const char* maskText, uint16_t port) {
  Print("IP/Mask.\n");
  Log("IP/Mask.\n");
  PrintAndLog("     IP: \t%s\n", addressText);
  PrintAndLog("   Mask: \t%s\n", maskText);
  uint32_t address = ParseDottedDecimal(addressText);
  uint32_t mask = ParseDottedDecimal(maskText);
  Ipv4Endpoint& record = port == MONITOR_BROADCAST_PORT ? NetState.MonitorBcastAddr : NetState.RemoteBcastAddr;
  record = Ipv4Endpoint{};
  record.address = (address & mask) | ~mask;
  record.port = port;
  PrintFormat("    Net: \t%s\n\n", DottedDecimal(record.address).c_str());
  Log("Network successfully initialized.\n");
  if (print) Print("Network successfully initialized.\n");
  return record;
}

bool SearchHostAddress(const std::vector<uint32_t>& addresses) {
  for (uint32_t address : addresses) {
    std::string text = DottedDecimal(address);
    CopyText(NetState.AdvertisedIp, text);
    CopyText(NetState.SelectedIp, text);
    LogFormat("Available HostIP: %s\n", text.c_str());
    if (text.rfind("192.", 0) == 0 || text.rfind("172.", 0) == 0 || text.rfind("10.", 0) == 0) {
      LogFormat("Non-routable network selected - IP: %s\n", text.c_str());
      return true;
    }
  }
  return NetState.SelectedIp[0] != '\0';
}

bool InitSimUDP(const char* ipaddress, const char* ipmask, int32_t majorVersion, int32_t minorVersion) {
  Log("Starting UDP Services\n");
  std::string hostName;
  if (platform::LocalHostName(hostName)) {
    CopyText(NetState.HostName, hostName);
  } else {
    Log("InitUDP() - InitUdp() - gethostname failure");
  }
  CopyText(NetState.IpMask, ipmask[0] != '\0' ? ipmask : "255.255.255.0");

  bool chosen = false;
  if (ipaddress[0] != '\0') {
    CopyText(NetState.SelectedIp, ipaddress);
    chosen = true;
  } else {
    std::string officialName;
    std::vector<uint32_t> addresses;
    if (!platform::HostAddresses(NetState.HostName, officialName, addresses)) {
      Log("InitSimUDP() - gethostbyname() failed\n");
      return false;
    }
    LogFormat("Host Name: %s\n", officialName.c_str());
    LogFormat("     Port: %d\n", Settings.port);
    chosen = SearchHostAddress(addresses);
  }
  if (!chosen) {
    Log("Unable to find valid IP Address\n");
    return false;
  }
  LogFormat("Selected IP: %s\n", NetState.SelectedIp);
  LogFormat("Monitor Port is %d\n", Settings.port);

  NetState.RecvSocket = platform::UdpOpen();
  if (NetState.RecvSocket == platform::NO_SOCKET) {
    Log("InitUDP() - InitUdp() - Error creating monitor socket.\n");
    return false;
  }
  PrintFormat("     IP: %s\n", NetState.SelectedIp);
  PrintFormat("   Port: %d\n", Settings.port);
  Print("\n");
  uint32_t bindAddress = ParseDottedDecimal(NetState.SelectedIp);
  if (bindAddress == INVALID_IPV4) {
    Log("InitUDP() - Bad IP address\n");
    return false;
  }
  if (!BindReceiveSocket(bindAddress, static_cast<uint16_t>(Settings.port))) {
    Log("InitUDP() - Monitor socket bind error\n");
    return false;
  }
  // A burst of changes must not be lost while the receive thread applies them.
  platform::SetReceiveBuffer(NetState.RecvSocket, 1 << 20);

  GetBroadcastAddress(false, NetState.SelectedIp, NetState.IpMask, MONITOR_BROADCAST_PORT);
  NetState.MonitorBcastSocket = platform::UdpOpen();
  if (NetState.MonitorBcastSocket == platform::NO_SOCKET) {
    Log("PhoneHome() - Broadcast Socket Open Failure\n");
    return false;
  }
  platform::SetBroadcast(NetState.MonitorBcastSocket, 32);
  if (NetState.ClientLock == nullptr) NetState.ClientLock = RegisterResource("ClientSocket");
  LogFormat("UDP services ver. %d.%03d successfully initialized\n", majorVersion, minorVersion);
  return true;
}
