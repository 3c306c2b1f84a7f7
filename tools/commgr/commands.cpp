// The commands on commgr's standard input: variable changes, the gate, the
// connection's manners and a look at what the node sent.

#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "commgr.h"
#include "commgr/web_server.h"
#include "common/output.h"
#include "net/ipv4_text.h"
#include "platform/platform.h"
#include "vardb/fsx_index.h"
#include "wire/data_items.h"
#include "wire/msg_header.h"

namespace {

Item MakeItem(bool isDouble, const std::string& fsx, const std::string& value) {
  Item item{isDouble, static_cast<uint32_t>(std::strtoul(fsx.c_str(), nullptr, 0)), 0, 0};
  if (isDouble) {
    item.doubleValue = std::strtod(value.c_str(), nullptr);
  } else {
    item.intValue = static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 0));
  }
  return item;
}

void SendPairs(std::istringstream& words, bool isDouble) {
  std::vector<Item> items;
  std::string fsx, value;
  while (words >> fsx >> value) items.push_back(MakeItem(isDouble, fsx, value));
  if (items.empty()) {
    Say("error: no items\n");
    return;
  }
  SendItems(items);
}

void Ints(std::istringstream& words) { SendPairs(words, false); }
void Doubles(std::istringstream& words) { SendPairs(words, true); }

void Items(std::istringstream& words) {
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
}

void Gate(std::istringstream& words) {
  int32_t value = 0;
  words >> value;
  SendItems({Item{false, Fsx::GroundTrafficGate, value, 0}});
}

void Silence(std::istringstream&) {
  keepAlive = false;
  if (web) ChangeWebState([](WebState& state) { state.link.talking = false; });
  Say("silent\n");
}

void Talk(std::istringstream&) {
  keepAlive = true;
  if (web) ChangeWebState([](WebState& state) { state.link.talking = true; });
  Say("talking\n");
}

void Version(std::istringstream& words) {
  uint32_t version = MSG_VERSION;
  words >> version;
  sendVersion = version;
  Say(Format("sending version %u\n", version));
}

void Raw(std::istringstream& words) {
  std::vector<std::string> hex;
  for (std::string byte; words >> byte;) hex.push_back(byte);
  const std::vector<uint8_t> bytes = ParseHexBytes(hex);
  SendToNodes(bytes);
  Say(Format("sent %u raw bytes\n", static_cast<unsigned>(bytes.size())));
}

void Burst(std::istringstream& words) {
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
}

void Move(std::istringstream& words) {
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
}

void Shutdown(std::istringstream&) {
  SendToNodes(Message(MSG_CLASS_NETWORK, MSG_SHUTDOWN, 0, 0));
  Say("sent shutdown\n");
}

void Last(std::istringstream& words) {
  static const std::map<std::string, uint32_t> blocks = {
      {"block1", MSG_BLOCK_1}, {"block2", MSG_BLOCK_2}, {"block3", MSG_BLOCK_3}};
  std::string name;
  words >> name;
  auto block = blocks.find(name);
  if (block == blocks.end()) {
    Say("error: last block1|block2|block3\n");
    return;
  }
  const std::vector<uint8_t> message = LastDataMessage(block->second);
  Say("last " + name + ": " + Hex(message.data(), message.size()) + "\n");
}

void Stats(std::istringstream&) { ReportStats(); }

void Quit(std::istringstream&) {
  Say("bye\n");
  platform::ExitProcess(0);
}

}  // namespace

void SendItems(const std::vector<Item>& items) {
  std::vector<uint8_t> message =
      Message(MSG_CLASS_DATA, MSG_FSX_IN, static_cast<int32_t>(items.size()), ItemsSize(items));
  PutItems(message.data() + MSG_HEADER_SIZE, items);
  SendToNodes(message);
  Say(Format("sent %u item(s)\n", static_cast<unsigned>(items.size())));
}

const std::vector<ToolCommand> COMMANDS = {
    {"int", "int FSX VALUE [FSX VALUE ...]", "one data message of integer items", Ints},
    {"double", "double FSX VALUE [FSX VALUE ...]", "one data message of double items", Doubles},
    {"items", "items i:FSX=VALUE d:FSX=VALUE ...", "mixed items in one message", Items},
    {"gate", "gate N", "set the ground-traffic gate (0 opens it)", Gate},
    {"silence", "silence | talk", "go silent (no keep-alives, no answers) / talk again", Silence},
    {"talk", "", "", Talk},
    {"version", "version N", "send with this protocol version from now on", Version},
    {"raw", "raw HEXBYTES", "send these bytes as one datagram", Raw},
    {"burst", "burst N FSX", "N messages of one integer item (values 1..N), at once", Burst},
    {"move", "move [PORT]", "take data on another port (0 or none: a free one); the next\naddress message names it",
     Move},
    {"shutdown", "shutdown", "tell the node to end", Shutdown},
    {"last", "last block1|block2|block3", "the latest block received, in hex", Last},
    {"stats", "stats | quit", "", Stats},
    {"quit", "", "", Quit},
};
