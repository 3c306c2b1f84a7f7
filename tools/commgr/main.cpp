// commgr: a stand-in communications manager and network monitor. It answers
// the node's registration with an address message, keeps the connection
// with keep-alives, shows what the node sends, and sends variable changes,
// the ground-traffic gate and a shutdown on command.

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "commgr/items_message.h"
#include "commgr/web_decode.h"
#include "commgr/web_server.h"
#include "net/ipv4_text.h"
#include "platform/platform.h"
#include "simlink/blocks.h"
#include "traffic/traffic.h"
#include "vardb/var_table.h"
#include "vardb/conversions.h"
#include "wire/bytes.h"
#include "wire/data_items.h"
#include "wire/msg_header.h"

namespace {

struct Options {
  std::string address = "127.0.0.1";
  uint16_t port = 9050;
  uint16_t registrationPort = 9019;
  uint16_t remotePort = 0;  // 0: do not listen for remote data
  bool verbose = false;
  bool keepAlive = true;
  bool stamps = false;
  bool hex = false;
  uint32_t statsSeconds = 5;
  bool web = false;
  WebOptions webOptions;
};

Options options;
// Where the node's messages arrive and what the address message names;
// "move" replaces it while the other threads send through it.
std::atomic<platform::SocketHandle> dataSocket{platform::NO_SOCKET};
uint32_t dataAddress = 0;
std::atomic<bool> keepAlive{true};
std::atomic<uint32_t> sendVersion{MSG_VERSION};
std::mutex stateLock;  // nodes, statistics and output
std::vector<std::pair<uint32_t, uint16_t>> nodes;  // where registered nodes take their messages
uint32_t sequence = 0;

struct TypeStats {
  uint64_t count = 0;
  uint32_t lastSeq = 0;
  uint64_t countAtLastReport = 0;
};
std::map<std::pair<uint32_t, uint32_t>, TypeStats> stats;
std::map<uint32_t, std::vector<uint8_t>> lastDataMessage;  // by data message type
auto lastReport = std::chrono::steady_clock::now();

// With --stamps every line begins with the wall-clock time in milliseconds.
std::string Stamped(const std::string& text) {
  if (!options.stamps) return text;
  const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch()).count();
  const std::string stamp = std::to_string(now) + " ";
  std::string stamped;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    stamped += stamp + text.substr(start, end - start);
    start = end;
  }
  return stamped;
}

void Say(const std::string& line) {
  std::lock_guard<std::mutex> guard(stateLock);
  std::fputs(Stamped(line).c_str(), stdout);
  std::fflush(stdout);
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

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
    std::lock_guard<std::mutex> guard(stateLock);
    header.SeqNo = sequence = (sequence + 1) % 1000;
  }
  header.Length = static_cast<uint32_t>(message.size());
  WriteMsgHeader(message.data(), header);
  return message;
}

void SendToNodes(const std::vector<uint8_t>& message) {
  std::vector<std::pair<uint32_t, uint16_t>> targets;
  {
    std::lock_guard<std::mutex> guard(stateLock);
    targets = nodes;
  }
  for (const auto& [address, port] : targets) platform::UdpSendTo(dataSocket, message.data(), message.size(), address, port);
}

void Usage(std::FILE* to) {
  std::fputs(
      "usage: commgr [--address A] [--port P] [--registration-port P] [--remote-port P] [--verbose]\n"
      "              [--no-keepalive] [--stats SECONDS] [--stamps] [--hex] [--web [ADDRESS:]PORT]\n"
      "              [--web-allow ADDRESS[/BITS]]\n"
      "  --address A            the data address named in the address message (default 127.0.0.1)\n"
      "  --port P               data port the node sends to (default 9050; 0 picks a free one)\n"
      "  --registration-port P  where registrations are heard (default 9019)\n"
      "  --remote-port P        also show remote data broadcast to this port (9102)\n"
      "  --verbose              show every message decoded\n"
      "  --no-keepalive         start silent\n"
      "  --stats SECONDS        rates per message type every so often (default 5, 0: never)\n"
      "  --stamps               begin every line with the wall-clock time in milliseconds\n"
      "  --hex                  show every data message whole, in hex, as one line\n"
      "  --web [ADDRESS:]PORT   serve the web page there (address 127.0.0.1 unless given; port 0 picks one)\n"
      "  --web-allow A[/BITS]   let these clients see the page (repeatable; default: this PC only)\n"
      "commands on standard input:\n"
      "  int FSX VALUE [FSX VALUE ...]      one data message of integer items\n"
      "  double FSX VALUE [FSX VALUE ...]   one data message of double items\n"
      "  items i:FSX=VALUE d:FSX=VALUE ...  mixed items in one message\n"
      "  gate N                             set the ground-traffic gate (0 opens it)\n"
      "  silence | talk                     go silent (no keep-alives, no answers) / talk again\n"
      "  version N                          send with this protocol version from now on\n"
      "  raw HEXBYTES                       send these bytes as one datagram\n"
      "  burst N FSX                        N messages of one integer item (values 1..N), at once\n"
      "  move [PORT]                        take data on another port (0 or none: a free one); the next\n"
      "                                     address message names it\n"
      "  shutdown                           tell the node to end\n"
      "  last block1|block2|block3          the latest block received, in hex\n"
      "  stats | quit\n",
      to);
}

bool ParseOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    bool hasValue = i + 1 < argc;
    if (option == "--address" && hasValue) {
      options.address = argv[++i];
    } else if (option == "--port" && hasValue) {
      options.port = static_cast<uint16_t>(std::atoi(argv[++i]));
    } else if (option == "--registration-port" && hasValue) {
      options.registrationPort = static_cast<uint16_t>(std::atoi(argv[++i]));
    } else if (option == "--remote-port" && hasValue) {
      options.remotePort = static_cast<uint16_t>(std::atoi(argv[++i]));
    } else if (option == "--stats" && hasValue) {
      options.statsSeconds = static_cast<uint32_t>(std::atoi(argv[++i]));
    } else if (option == "--verbose") {
      options.verbose = true;
    } else if (option == "--no-keepalive") {
      options.keepAlive = false;
    } else if (option == "--stamps") {
      options.stamps = true;
    } else if (option == "--hex") {
      options.hex = true;
    } else if (option == "--web" && hasValue) {
      options.web = true;
      if (!ParseWebListen(argv[++i], options.webOptions.address, options.webOptions.port)) return false;
    } else if (option == "--web-allow" && hasValue) {
      Subnet subnet{};
      if (!ParseSubnet(argv[++i], subnet)) return false;
      options.webOptions.allowed.push_back(subnet);
    } else {
      return false;
    }
  }
  return true;
}

// ---- What the node sends ------------------------------------------------------

void ShowTraffic(const uint8_t* message, const char* kind, uint32_t seq) {
  std::string text;
  int aircraft = 0;
  for (size_t i = 0; i < TRAFFIC_RECORDS; ++i) {
    const uint8_t* r = message + MSG_BLOCK_DATA_OFFSET + i * TRAFFIC_RECORD_SIZE;
    uint32_t id = GetU32(r + TrafficRecordField::ObjID);
    if (id == 0) continue;
    ++aircraft;
    char ident[TrafficRecordField::IDENT_CAPACITY + 1] = {};
    std::memcpy(ident, r + TrafficRecordField::Ident, TrafficRecordField::IDENT_CAPACITY);
    text += Format("  aircraft id=%u ident=%s lat=%.4f lon=%.4f alt=%.0f hdg=%.1f gs=%.0f\n", id, ident,
                   GetF64(r + TrafficRecordField::Latitude), GetF64(r + TrafficRecordField::Longitude),
                   GetF64(r + TrafficRecordField::Altitude), GetF64(r + TrafficRecordField::Heading),
                   GetF64(r + TrafficRecordField::GroundSpeed));
  }
  Say(Format("recv %s traffic seq=%u aircraft=%d\n", kind, seq, aircraft) + text);
}

// The values the cockpit's displays read from each block, each as it shows
// them, one line below the block's own (--verbose).
double BlockDouble(const uint8_t* message, const BlockLayout& layout, uint16_t simOffset) {
  return GetF64(message + FieldAt(layout, simOffset));
}
int32_t BlockInt(const uint8_t* message, const BlockLayout& layout, uint16_t simOffset) {
  return GetI32(message + FieldAt(layout, simOffset));
}
std::string Frequency(const uint8_t* word) { return Format("1%02X.%02X", word[1], word[0]); }

std::string Block1Values(const uint8_t* m) {
  const BlockLayout b1 = Block1Layout();
  // Fuel: each tank's capacity times its level (8388608 = full), as the block computes it.
  const double fuel = GetF64(m + 200) + GetF64(m + 208) + GetF64(m + 216);
  return Format("  values rpm=%.0f n1=%.1f fuel_flow_pph=%.1f cht_f=%.0f fuel_gal=%.1f\n", BlockDouble(m, b1, 0x2400),
                BlockDouble(m, b1, 0x2010), BlockDouble(m, b1, 0x0918), BlockDouble(m, b1, 0x08E8), fuel);
}

std::string Block2Values(const uint8_t* m) {
  const BlockLayout b2 = Block2Layout();
  return Format("  values flaps=%.3f flap_lever=%d com1=%s com1_standby=%s nav1=%s nav1_course=%u avionics=%d\n",
                GetI32(m + Block2Field::FlapExtension) / 16383.0, GetI32(m + Block2Field::FlapPosition),
                Frequency(m + Block2Field::Com1).c_str(), Frequency(m + FieldAt(b2, 0x311A)).c_str(),
                Frequency(m + Block2Field::Nav1).c_str(), GetU16(m + Block2Field::Course1), BlockInt(m, b2, 0x2E80));
}

std::string Block3Values(const uint8_t* m) {
  const BlockLayout b3 = Block3Layout();
  const int32_t adf = AdfToTenths(GetI16(m + Block3Field::Adf1Main), GetI16(m + Block3Field::Adf1Extension));
  return Format("  values lat=%.6f lon=%.6f altimeter_ft=%d heading=%.2f pitch=%.2f bank=%.2f ias=%.2f vs_fpm=%.0f "
                "adf1=%.1f ap_hdg=%.2f ap=%d hdg_hold=%d\n",
                BlockDouble(m, b3, 0x6010), BlockDouble(m, b3, 0x6018), BlockInt(m, b3, 0x3324),
                BlockDouble(m, b3, 0x2B00), -BlockInt(m, b3, 0x0578) * 360.0 / 4294967296.0,
                -BlockInt(m, b3, 0x057C) * 360.0 / 4294967296.0, BlockInt(m, b3, 0x02BC) / 128.0,
                BlockInt(m, b3, 0x02C8) / 256.0 / 0.3048 * 60.0, adf / 10.0,
                GetU16(m + Block3Field::Heading) * 360.0 / 65536.0, BlockInt(m, b3, 0x07BC), BlockInt(m, b3, 0x07C8));
}

void ShowMessage(const uint8_t* message, int length) {
  if (length < static_cast<int>(MSG_HEADER_SIZE)) {
    Say(Format("recv short datagram of %d bytes\n", length));
    return;
  }
  MsgHeader header = ReadMsgHeader(message);
  if (options.web) {
    const int64_t at = WallClockMs();
    ChangeWebState([&](WebState& state) { NoteDatagram(state, message, static_cast<size_t>(length), at); });
  }
  {
    std::lock_guard<std::mutex> guard(stateLock);
    TypeStats& entry = stats[{header.MsgClass, header.MsgType}];
    ++entry.count;
    entry.lastSeq = header.SeqNo;
    if (header.MsgClass == MSG_CLASS_DATA) lastDataMessage[header.MsgType].assign(message, message + length);
  }
  if (options.hex && header.MsgClass == MSG_CLASS_DATA) {
    std::string line = Format("hex type=%u ", header.MsgType);
    for (int i = 0; i < length; ++i) line += Format("%02X", message[i]);
    Say(line + "\n");
  }
  if (!options.verbose) return;
  const uint32_t seq = header.SeqNo;
  if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_BLOCK_1 && length == BLOCK_1_SIZE) {
    // 0x2010 and 0x2110: N1 of engines 1 and 2
    Say(Format("recv block1 seq=%u len=%d n1=%.1f/%.1f\n", seq, length, GetF64(message + FieldAt(Block1Layout(), 0x2010)),
               GetF64(message + FieldAt(Block1Layout(), 0x2110))) +
        Block1Values(message));
  } else if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_BLOCK_2 && length == BLOCK_2_SIZE) {
    char model[Block2Field::MODEL_NAME_CAPACITY + 1] = {};
    std::memcpy(model, message + Block2Field::ModelName, Block2Field::MODEL_NAME_CAPACITY);
    Say(Format("recv block2 seq=%u model=%s activation=%u com1=1%02X.%02X nav1=1%02X.%02X\n", seq, model,
               GetU16(message + Block2Field::ActivationFlag), message[Block2Field::Com1 + 1],
               message[Block2Field::Com1], message[Block2Field::Nav1 + 1], message[Block2Field::Nav1]) +
        Block2Values(message));
  } else if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_BLOCK_3 && length == BLOCK_3_SIZE) {
    // 0x02BC indicated airspeed (knots x 128), 0x057C bank (360/2^32 degrees)
    Say(Format("recv block3 seq=%u connected=%u hotkey=%u changes=%u ias=%.0f bank=%.1f ap_hdg=%.0f\n", seq,
               message[Block3Field::ConnectedByte], message[Block3Field::HotKeyByte],
               GetU32(message + Block3Field::FsChangeCount), GetU32(message + FieldAt(Block3Layout(), 0x02BC)) / 128.0,
               GetI32(message + FieldAt(Block3Layout(), 0x057C)) * 360.0 / 4294967296.0, GetU16(message + Block3Field::Heading) * 360.0 / 65536.0) +
        Block3Values(message));
  } else if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_AIR_TRAFFIC && length == TRAFFIC_MESSAGE_SIZE) {
    ShowTraffic(message, "air", seq);
  } else if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_GND_TRAFFIC && length == TRAFFIC_MESSAGE_SIZE) {
    ShowTraffic(message, "ground", seq);
  } else if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_REMOTE_DATA && length == 72) {
    // heading 0x0580, bank 0x057C, pitch 0x0578, altitude 0x0570, latitude 0x0560, longitude 0x0568
    const uint8_t* r = message + MSG_HEADER_SIZE;
    auto at = [r](uint16_t simOffset) { return r + FieldAt(RemoteDataLayout(), simOffset); };
    Say(Format("recv remote heading=%u bank=%d pitch=%d altitude=%lld latitude=%lld longitude=%lld\n",
               GetU32(at(0x0580)), GetI32(at(0x057C)), GetI32(at(0x0578)), static_cast<long long>(GetU64(at(0x0570))),
               static_cast<long long>(GetU64(at(0x0560))), static_cast<long long>(GetU64(at(0x0568)))));
  } else {
    Say(Format("recv class=%u type=%u seq=%u len=%d\n", header.MsgClass, header.MsgType, seq, length));
  }
}

void ReportStats() {
  auto now = std::chrono::steady_clock::now();
  std::string text;
  {
    std::lock_guard<std::mutex> guard(stateLock);
    double seconds = std::chrono::duration<double>(now - lastReport).count();
    lastReport = now;
    for (auto& [key, entry] : stats) {
      double rate = seconds > 0 ? static_cast<double>(entry.count - entry.countAtLastReport) / seconds : 0;
      entry.countAtLastReport = entry.count;
      text += Format("stats class=%u type=%u count=%llu rate=%.2f/s last_seq=%u name=%s\n", key.first, key.second,
                     static_cast<unsigned long long>(entry.count), rate, entry.lastSeq, MessageTypeName(key.first, key.second));
    }
  }
  Say(text.empty() ? "stats none\n" : text);
}

// ---- Registration and keep-alives -------------------------------------------------

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
    std::lock_guard<std::mutex> guard(stateLock);
    std::pair<uint32_t, uint16_t> node{from, static_cast<uint16_t>(port)};
    if (std::find(nodes.begin(), nodes.end(), node) == nodes.end()) nodes.push_back(node);
  }
  if (options.web) {
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

void ListenForData(platform::SocketHandle socket) {
  uint8_t datagram[4096];
  for (;;) {
    int n = platform::UdpReceive(socket, datagram, sizeof datagram);
    if (n > 0) ShowMessage(datagram, n);
  }
}

// ---- Commands ------------------------------------------------------------------------

void SendItems(const std::vector<Item>& items) {
  std::vector<uint8_t> message =
      Message(MSG_CLASS_DATA, MSG_FSX_IN, static_cast<int32_t>(items.size()), ItemsSize(items));
  PutItems(message.data() + MSG_HEADER_SIZE, items);
  SendToNodes(message);
  Say(Format("sent %u item(s)\n", static_cast<unsigned>(items.size())));
}

void RunCommand(const std::string& line) {
  std::istringstream words(line);
  std::string command;
  if (!(words >> command)) return;
  if (command == "int" || command == "double") {
    std::vector<Item> items;
    std::string fsx, value;
    while (words >> fsx >> value) {
      Item item{command == "double", static_cast<uint32_t>(std::strtoul(fsx.c_str(), nullptr, 0)), 0, 0};
      if (item.isDouble) {
        item.doubleValue = std::strtod(value.c_str(), nullptr);
      } else {
        item.intValue = static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 0));
      }
      items.push_back(item);
    }
    if (items.empty()) {
      Say("error: no items\n");
      return;
    }
    SendItems(items);
  } else if (command == "items") {
    std::vector<Item> items;
    for (std::string word; words >> word;) {
      Item item{};
      if (!ParseItemWord(word, item)) {
        Say("error: item " + word + "\n");
        return;
      }
      items.push_back(item);
    }
    SendItems(items);
  } else if (command == "gate") {
    int32_t value = 0;
    words >> value;
    SendItems({Item{false, 216, value, 0}});
  } else if (command == "silence") {
    keepAlive = false;
    if (options.web) ChangeWebState([](WebState& state) { state.link.talking = false; });
    Say("silent\n");
  } else if (command == "talk") {
    keepAlive = true;
    if (options.web) ChangeWebState([](WebState& state) { state.link.talking = true; });
    Say("talking\n");
  } else if (command == "version") {
    uint32_t version = MSG_VERSION;
    words >> version;
    sendVersion = version;
    Say(Format("sending version %u\n", version));
  } else if (command == "raw") {
    std::vector<uint8_t> bytes;
    for (std::string byte; words >> byte;) bytes.push_back(static_cast<uint8_t>(std::strtoul(byte.c_str(), nullptr, 16)));
    SendToNodes(bytes);
    Say(Format("sent %u raw bytes\n", static_cast<unsigned>(bytes.size())));
  } else if (command == "burst") {
    uint32_t count = 0, fsx = 0;
    if (!(words >> count >> fsx) || count == 0) {
      Say("error: burst N FSX\n");
      return;
    }
    auto start = std::chrono::steady_clock::now();
    for (uint32_t i = 1; i <= count; ++i) {
      std::vector<uint8_t> message = Message(MSG_CLASS_DATA, MSG_FSX_IN, 1, INT_ITEM_SIZE);
      PutIntItem(message.data() + MSG_HEADER_SIZE, fsx, static_cast<int32_t>(i));
      SendToNodes(message);
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    Say(Format("sent burst of %u messages in %.1f ms\n", count, ms));
  } else if (command == "move") {
    uint16_t port = 0;
    words >> port;
    platform::SocketHandle moved = platform::UdpOpen();
    if (moved == platform::NO_SOCKET || !platform::UdpBind(moved, dataAddress, port)) {
      Say(Format("error: cannot bind %s:%u\n", DottedDecimal(dataAddress).c_str(), port));
      return;
    }
    platform::SetReceiveBuffer(moved, 1 << 20);
    // The old port stays open: what the node still sends there is counted too.
    std::thread(ListenForData, moved).detach();
    dataSocket = moved;
    Say(Format("data now on %s:%u\n", DottedDecimal(dataAddress).c_str(), platform::LocalPort(moved)));
  } else if (command == "shutdown") {
    SendToNodes(Message(MSG_CLASS_NETWORK, MSG_SHUTDOWN, 0, 0));
    Say("sent shutdown\n");
  } else if (command == "last") {
    static const std::map<std::string, uint32_t> blocks = {
        {"block1", MSG_BLOCK_1}, {"block2", MSG_BLOCK_2}, {"block3", MSG_BLOCK_3}};
    std::string name;
    words >> name;
    auto block = blocks.find(name);
    if (block == blocks.end()) {
      Say("error: last block1|block2|block3\n");
      return;
    }
    std::string hex;
    {
      std::lock_guard<std::mutex> guard(stateLock);
      for (uint8_t byte : lastDataMessage[block->second]) hex += Format(hex.empty() ? "%02X" : " %02X", byte);
    }
    Say("last " + name + ": " + hex + "\n");
  } else if (command == "stats") {
    ReportStats();
  } else if (command == "quit") {
    Say("bye\n");
    platform::ExitProcess(0);
  } else {
    Say("error: unknown command " + command + "\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    Usage(stdout);
    return 0;
  }
  if (!ParseOptions(argc, argv)) {
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

  if (options.web) {
    InitDB();  // the page's changes are checked against the node's variable table
    ChangeWebState([](WebState& state) { state.link.talking = keepAlive; });
    uint16_t webPort = 0;
    bool served = StartWebServer(options.webOptions, [](const std::vector<Item>& items) {
      {
        std::lock_guard<std::mutex> guard(stateLock);
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

  for (std::string line; std::getline(std::cin, line);) RunCommand(line);
  for (;;) platform::SleepMs(3600 * 1000);
}
