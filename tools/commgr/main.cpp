// commgr: a stand-in communications manager and network monitor. It answers
// the node's registration with an address message, keeps the connection
// with keep-alives, shows what the node sends, and sends variable changes,
// the ground-traffic gate and a shutdown on command.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "commgr.h"
#include "commgr/web_server.h"
#include "common/options.h"
#include "common/output.h"
#include "net/ipv4_text.h"
#include "vardb/var_table.h"
#include "wire/msg_header.h"

std::atomic<platform::SocketHandle> dataSocket{platform::NO_SOCKET};
uint32_t dataAddress = 0;
std::atomic<bool> keepAlive{true};
std::atomic<uint32_t> sendVersion{MSG_VERSION};
bool verbose = false;
bool hex = false;
bool web = false;

namespace {

struct Options {
  std::string address = "127.0.0.1";
  uint16_t port = 9050;
  uint16_t registrationPort = 9019;
  uint16_t remotePort = 0;  // 0: do not listen for remote data
  bool keepAlive = true;
  uint32_t statsSeconds = 5;
  WebOptions webOptions;
};
Options options;

uint16_t Port(const std::string& value) { return static_cast<uint16_t>(std::atoi(value.c_str())); }

const std::vector<ToolOption> OPTIONS = {
    {"--address", "A", "the data address named in the address message (default 127.0.0.1)",
     [](const std::string& value) { options.address = value; return true; }},
    {"--port", "P", "data port the node sends to (default 9050; 0 picks a free one)",
     [](const std::string& value) { options.port = Port(value); return true; }},
    {"--registration-port", "P", "where registrations are heard (default 9019)",
     [](const std::string& value) { options.registrationPort = Port(value); return true; }},
    {"--remote-port", "P", "also show remote data broadcast to this port (9102)",
     [](const std::string& value) { options.remotePort = Port(value); return true; }},
    {"--verbose", "", "show every message decoded", [](const std::string&) { verbose = true; return true; }},
    {"--no-keepalive", "", "start silent", [](const std::string&) { options.keepAlive = false; return true; }},
    {"--stats", "SECONDS", "rates per message type every so often (default 5, 0: never)",
     [](const std::string& value) { options.statsSeconds = static_cast<uint32_t>(std::atoi(value.c_str())); return true; }},
    {"--stamps", "", "begin every line with the wall-clock time in milliseconds",
     [](const std::string&) { SetStamps(true); return true; }},
    {"--hex", "", "show every data message whole, in hex, as one line", [](const std::string&) { hex = true; return true; }},
    {"--web", "[ADDRESS:]PORT", "serve the web page there (address 127.0.0.1 unless given; port 0 picks one)",
     [](const std::string& value) {
       web = true;
       return ParseWebListen(value.c_str(), options.webOptions.address, options.webOptions.port);
     }},
    {"--web-allow", "A[/BITS]", "let these clients see the page (repeatable; default: this PC only)",
     [](const std::string& value) {
       Subnet subnet{};
       if (!ParseSubnet(value.c_str(), subnet)) return false;
       options.webOptions.allowed.push_back(subnet);
       return true;
     },
     "ADDRESS[/BITS]"},
};

void Usage(std::FILE* to) {
  PrintToolOptions(to, "commgr", OPTIONS);
  std::fputs(ToolCommandsHelp(COMMANDS).c_str(), to);
}

std::mutex nodesLock;
std::vector<std::pair<uint32_t, uint16_t>> nodes;  // where registered nodes take their messages
uint32_t sequence = 0;

void AnswerRegistration(const uint8_t* datagram, int length, uint32_t from) {
  if (length < static_cast<int>(MSG_HEADER_SIZE)) return;
  MsgHeader header = ReadMsgHeader(datagram);
  if (header.MsgClass != MSG_CLASS_NETWORK || header.MsgType != MSG_KEEP_ALIVE) return;
  std::string text(reinterpret_cast<const char*>(datagram) + MSG_HEADER_SIZE,
                   static_cast<size_t>(length) - MSG_HEADER_SIZE);
  std::istringstream words(text);
  std::string advertised;
  int port = 0;
  if (!(words >> advertised >> port) || port <= 0 || port > 65535) {
    Say("registration without a port ignored\n");
    return;
  }
  std::string shown = text;
  if (!shown.empty() && shown.back() == '\n') shown.pop_back();
  Say(Format("registration from %s: \"%s\" from node %d\n", DottedDecimal(from).c_str(), shown.c_str(), header.Source));
  if (!keepAlive) return;  // silent: neither keep-alives nor answers
  {
    std::lock_guard<std::mutex> guard(nodesLock);
    std::pair<uint32_t, uint16_t> node{from, static_cast<uint16_t>(port)};
    if (std::find(nodes.begin(), nodes.end(), node) == nodes.end()) nodes.push_back(node);
  }
  if (web) {
    ChangeWebState([&](WebState& state) {
      state.link.registered = true;
      state.link.node = Format("%s:%d", DottedDecimal(from).c_str(), port);
    });
  }
  std::string address = Format("%s %u", DottedDecimal(dataAddress).c_str(), platform::LocalPort(dataSocket));
  std::vector<uint8_t> message = Message(MSG_CLASS_NETWORK, MSG_ADR, 0, address.size());
  std::memcpy(message.data() + MSG_HEADER_SIZE, address.data(), address.size());
  platform::UdpSendTo(dataSocket, message.data(), message.size(), from, static_cast<uint16_t>(port));
  Say(Format("sent address \"%s\" to %s:%d\n", address.c_str(), DottedDecimal(from).c_str(), port));
}

void ListenForRegistrations(platform::SocketHandle socket) {
  uint8_t datagram[2048];
  for (;;) {
    uint32_t from = 0;
    int n = platform::UdpReceive(socket, datagram, sizeof datagram, &from);
    if (n > 0) AnswerRegistration(datagram, n, from);
  }
}

}  // namespace

std::vector<uint8_t> Message(uint32_t msgClass, uint32_t type, int32_t count, size_t payload) {
  std::vector<uint8_t> message(MSG_HEADER_SIZE + payload, 0);
  MsgHeader header;
  header.MsgClass = msgClass;
  header.MsgType = type;
  header.Count = count;
  header.Version = sendVersion;
  header.Source = NODE_COMMGR;
  header.Destination = NODE_SIM;
  {
    std::lock_guard<std::mutex> guard(nodesLock);
    header.SeqNo = sequence = (sequence + 1) % 1000;
  }
  header.Length = static_cast<uint32_t>(message.size());
  WriteMsgHeader(message.data(), header);
  return message;
}

void ListenForData(platform::SocketHandle socket) {
  uint8_t datagram[4096];
  for (;;) {
    int n = platform::UdpReceive(socket, datagram, sizeof datagram);
    if (n > 0) ShowMessage(datagram, n);
  }
}

void SendToNodes(const std::vector<uint8_t>& message) {
  std::vector<std::pair<uint32_t, uint16_t>> targets;
  {
    std::lock_guard<std::mutex> guard(nodesLock);
    targets = nodes;
  }
  for (const auto& [address, port] : targets) platform::UdpSendTo(dataSocket, message.data(), message.size(), address, port);
}

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    Usage(stdout);
    return 0;
  }
  if (!ParseToolOptions(argc, argv, OPTIONS)) {
    Usage(stderr);
    return 2;
  }
  keepAlive = options.keepAlive;
  dataAddress = ParseDottedDecimal(options.address.c_str());
  if (dataAddress == INVALID_IPV4) {
    std::fprintf(stderr, "commgr: bad address %s\n", options.address.c_str());
    return 1;
  }
  dataSocket = platform::UdpOpen();
  if (dataSocket == platform::NO_SOCKET || !platform::UdpBind(dataSocket.load(), dataAddress, options.port)) {
    std::fprintf(stderr, "commgr: cannot bind %s:%u\n", options.address.c_str(), options.port);
    return 1;
  }
  platform::SetReceiveBuffer(dataSocket, 1 << 20);
  // Registrations arrive as subnet broadcasts: heard on every local address.
  platform::SocketHandle registrations = platform::UdpOpen();
  if (registrations == platform::NO_SOCKET || !platform::UdpBind(registrations, 0, options.registrationPort)) {
    std::fprintf(stderr, "commgr: cannot listen for registrations on port %u\n", options.registrationPort);
    return 1;
  }
  Say(Format("commgr: data on %s:%u, registrations on port %u\n", options.address.c_str(),
             platform::LocalPort(dataSocket), options.registrationPort));

  if (web) {
    InitDB();  // the page's changes are checked against the node's variable table
    ChangeWebState([](WebState& state) { state.link.talking = keepAlive; });
    uint16_t webPort = 0;
    bool served = StartWebServer(options.webOptions, [](const std::vector<Item>& items) {
      {
        std::lock_guard<std::mutex> guard(nodesLock);
        if (nodes.empty()) return false;
      }
      SendItems(items);
      return true;
    }, webPort);
    if (!served) {
      std::fprintf(stderr, "commgr: cannot serve the web page on %s:%u\n",
                   DottedDecimal(options.webOptions.address).c_str(), options.webOptions.port);
      return 1;
    }
    Say(Format("commgr: web page on http://%s:%u/\n", DottedDecimal(options.webOptions.address).c_str(), webPort));
  }
  std::thread(ListenForRegistrations, registrations).detach();
  std::thread(ListenForData, dataSocket.load()).detach();
  if (options.remotePort != 0) {
    platform::SocketHandle remote = platform::UdpOpen();
    if (remote != platform::NO_SOCKET && platform::UdpBind(remote, 0, options.remotePort)) {
      std::thread(ListenForData, remote).detach();
    }
  }
  std::thread([] {
    for (uint32_t second = 1;; ++second) {
      platform::SleepMs(1000);
      if (keepAlive) SendToNodes(Message(MSG_CLASS_NETWORK, MSG_KEEP_ALIVE, 0, 0));
      if (options.statsSeconds != 0 && second % options.statsSeconds == 0) ReportStats();
    }
  }).detach();

  for (std::string line; std::getline(std::cin, line);) RunToolCommand(COMMANDS, line);
  for (;;) platform::SleepMs(3600 * 1000);
}
