// A whole datagram into the receive path, with the simulator behind the
// variable changes.

#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "net/net_state.h"
#include "net/receive.h"
#include "platform/platform.h"
#include "process/resource.h"
#include "vardb/var_table.h"
#include "wire/msg_header.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  PrepareFuzzProcess(argc, argv);
  InitDB();
  NetState.ClientLock = RegisterResource("ClientSocket");
  ConnectInProcessSimulator();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The receive loop restarts the node on longer datagrams before any handling.
  if (size >= static_cast<size_t>(DATAGRAM_LIMIT)) return -1;
  // A shutdown ends the node, as it should; nothing more to learn there.
  if (size >= MSG_HEADER_SIZE) {
    MsgHeader header = ReadMsgHeader(data);
    if (header.MsgClass == MSG_CLASS_NETWORK && header.MsgType == MSG_SHUTDOWN) return -1;
  }
  // Exactly the datagram and the receive loop's one spare byte, so that
  // any read past them is caught.
  std::vector<uint8_t> buffer(data, data + size);
  buffer.push_back(0xA5);
  HandleDatagram(buffer.data(), static_cast<int>(size));
  // An address message opens a socket towards the address it names: it
  // never sends here (no monitor runs), and it is closed again at once.
  if (NetState.ClientSocket != platform::NO_SOCKET) {
    platform::UdpClose(NetState.ClientSocket);
    NetState.ClientSocket = platform::NO_SOCKET;
  }
  return 0;
}
