// Change latency, whole process: zemsim connected to commgr (registration,
// keep-alives) and to a simulator of this program's own; this program sends
// variable-change datagrams straight to the node's data port at a steady
// rate and notes when each change arrives at the simulator as its write.
// Beside it, the floor: one UDP hop plus one exchange, measured here.
//   zemsim_latency [--seconds S] [RATE ...]   (default: 10 s at 100 1000 10000)

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "ipc/link.h"
#include "platform/child_process.h"
#include "platform/platform.h"
#include "process/settings.h"
#include "process/text.h"
#include "simlink/sim_connection.h"
#include "wire/bytes.h"
#include "wire/data_items.h"
#include "wire/msg_header.h"

namespace {

constexpr uint32_t CHANGED_OFFSET = 0x07BC;  // where item 165 writes its value, 4 bytes
constexpr uint32_t CHANGED_ITEM = 165;
constexpr size_t MAX_ITEMS = 1 << 20;

std::vector<std::atomic<int64_t>> arrived(MAX_ITEMS);  // by value: when the write came, 0 if not

std::vector<uint8_t> ChangeMessage(int32_t value) {
  std::vector<uint8_t> message(MSG_HEADER_SIZE + INT_ITEM_SIZE, 0);
  MsgHeader header;
  header.MsgClass = MSG_CLASS_DATA;
  header.MsgType = MSG_FSX_IN;
  header.Count = 1;
  header.Version = MSG_VERSION;
  header.Source = NODE_COMMGR;
  header.Destination = NODE_SIM;
  header.SeqNo = static_cast<uint32_t>(value % 1000);
  header.Length = static_cast<uint32_t>(message.size());
  WriteMsgHeader(message.data(), header);
  PutIntItem(message.data() + MSG_HEADER_SIZE, CHANGED_ITEM, value);
  return message;
}

void SleepUntil(int64_t dueNs) {
  for (;;) {
    int64_t left = dueNs - NowNs();
    if (left <= 0) return;
    if (left > 300000) {
      std::this_thread::sleep_for(std::chrono::nanoseconds(left - 200000));
    } else {
      std::this_thread::yield();
    }
  }
}

bool WaitForText(const std::string& path, const char* text, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    if (std::FILE* file = std::fopen(path.c_str(), "r")) {
      std::string content;
      char chunk[4096];
      for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) content.append(chunk, n);
      std::fclose(file);
      if (content.find(text) != std::string::npos) return true;
    }
    platform::SleepMs(50);
  }
  return false;
}

// The floor: one datagram over loopback, and one write exchange with the
// same simulator, each timed alone.
void MeasureFloor(const StreamSimulator& simulator) {
  platform::SocketHandle receiver = platform::UdpOpen();
  platform::UdpBind(receiver, 0x7F000001, 0);
  platform::SocketHandle sender = platform::UdpOpen();
  std::atomic<int64_t> received{0};
  std::thread listen([&] {
    uint8_t buffer[64];
    for (int i = 0; i < 2000; ++i) {
      if (!platform::UdpWaitReadable(receiver, 2000)) break;
      platform::UdpReceive(receiver, buffer, sizeof buffer);
      received = NowNs();
    }
  });
  std::vector<int64_t> hops;
  std::vector<uint8_t> message = ChangeMessage(1);
  for (int i = 0; i < 2000; ++i) {
    int64_t sent = NowNs();
    received = 0;
    platform::UdpSendTo(sender, message.data(), message.size(), 0x7F000001, platform::LocalPort(receiver));
    while (received == 0 && NowNs() - sent < 100000000) std::this_thread::yield();
    if (received != 0) hops.push_back(received - sent);
    SleepUntil(NowNs() + 200000);
  }
  listen.join();
  platform::UdpClose(sender);
  platform::UdpClose(receiver);

  CopyText(Settings.simserver, simulator.endpoint().c_str());
  SetIpcTransport(nullptr);
  InitSimulatorLink();
  std::vector<int64_t> exchanges;
  if (FSUIPCConnect() == 0) {
    uint32_t value = 0;
    for (int i = 0; i < 2000; ++i) {
      int64_t start = NowNs();
      if (FSUIPCWrite(0x0200, 4, &value) != 1) break;
      exchanges.push_back(NowNs() - start);
    }
    FSUIPCClose();
  }
  Spread hop = SpreadOf(hops), exchange = SpreadOf(exchanges);
  std::printf("floor udp_hop p50=%.1f p99=%.1f us; write_exchange p50=%.1f p99=%.1f us; sum p50=%.1f p99=%.1f us\n",
              hop.p50, hop.p99, exchange.p50, exchange.p99, hop.p50 + exchange.p50, hop.p99 + exchange.p99);
}

}  // namespace

int main(int argc, char** argv) {
  SetBenchProgram(argv[0]);
  int seconds = 10;
  std::vector<int> rates;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else {
      rates.push_back(std::atoi(argv[i]));
    }
  }
  if (rates.empty()) rates = {100, 1000, 10000};

  const std::string directory = FreshRunDirectory("latency");
  platform::SetFileSystemRoot(directory + "/root");
  StreamSimulator simulator;
  simulator.space.onWrite = [](uint32_t offset, const uint8_t* data, uint32_t size) {
    if (offset != CHANGED_OFFSET || size != 4) return;
    uint32_t value = GetU32(data);
    if (value < MAX_ITEMS) arrived[value] = NowNs();
  };

  // The node's data port: one the system has just found free.
  platform::SocketHandle probe = platform::UdpOpen();
  platform::UdpBind(probe, 0x7F000001, 0);
  const uint16_t nodePort = platform::LocalPort(probe);
  platform::UdpClose(probe);
  std::FILE* config = std::fopen((directory + "/ZemSim.cfg").c_str(), "w");
  if (config == nullptr) return 1;
  std::fprintf(config, "ipaddress 127.0.0.1\nport %u\nsimserver %s\n", nodePort, simulator.endpoint().c_str());
  // The same with the node recording (scripts/bench, recording on).
  if (const char* record = std::getenv("ZEMSIM_BENCH_RECORD"); record != nullptr && record[0] != '\0') {
    std::filesystem::create_directories(directory + "/recordings");
    std::fprintf(config, "record recordings\n");
  }
  std::fclose(config);

  platform::ChildProcess commgr, node;
  platform::SpawnProcess({ProgramBeside("commgr"), "--port", "0", "--stats", "0"}, directory,
                         directory + "/commgr.txt", commgr, true);
  if (!WaitForText(directory + "/commgr.txt", ", registrations on port", 10000)) {
    std::fprintf(stderr, "zemsim_latency: commgr did not start (is another one running?)\n");
    platform::KillProcess(commgr);
    return 1;
  }
  platform::SpawnProcess({ProgramBeside("zemsim")}, directory, directory + "/console.txt", node);
  bool ready = WaitForText(directory + "/console.txt", "Connected to CommMgr", 15000) &&
               WaitForText(directory + "/console.txt", "Connected to simulator", 15000);
  platform::SleepMs(1000);
  if (!ready) {
    std::fprintf(stderr, "zemsim_latency: the node did not connect; see %s\n", directory.c_str());
    KeepRunDirectories();
  }

  platform::SocketHandle sender = platform::UdpOpen();
  uint32_t nextValue = 1;
  for (int rate : rates) {
    if (!ready || rate <= 0) break;
    const uint32_t count = static_cast<uint32_t>(rate) * static_cast<uint32_t>(seconds);
    if (nextValue + count >= MAX_ITEMS) break;
    std::vector<int64_t> sentAt(count);
    const uint32_t first = nextValue;
    const int64_t start = NowNs();
    const int64_t intervalNs = 1000000000LL / rate;
    for (uint32_t i = 0; i < count; ++i) {
      SleepUntil(start + static_cast<int64_t>(i) * intervalNs);
      std::vector<uint8_t> message = ChangeMessage(static_cast<int32_t>(first + i));
      sentAt[i] = NowNs();
      platform::UdpSendTo(sender, message.data(), message.size(), 0x7F000001, nodePort);
    }
    nextValue += count;
    platform::SleepMs(2000);  // the last ones on their way
    std::vector<int64_t> latencies;
    for (uint32_t i = 0; i < count; ++i) {
      int64_t at = arrived[first + i];
      if (at != 0) latencies.push_back(at - sentAt[i]);
    }
    Spread spread = SpreadOf(latencies);
    std::printf("latency rate=%d/s seconds=%d sent=%u received=%zu lost=%zu p50=%.1f p99=%.1f max=%.1f us\n", rate,
                seconds, count, latencies.size(), count - latencies.size(), spread.p50, spread.p99, spread.max);
    std::fflush(stdout);
  }
  platform::UdpClose(sender);

  platform::WriteToChild(commgr, "shutdown\n");
  int code = 0;
  if (!platform::WaitProcess(node, 5000, code)) platform::KillProcess(node);
  platform::KillProcess(commgr);
  MeasureFloor(simulator);
  return ready ? 0 : 1;
}
