#include "bridge/bridge_listen.h"

#include <thread>

#include "net/ipv4_text.h"
#include "process/log.h"
#include "process/print.h"

void BridgeSay(const std::string& text) {
  Print(text.c_str());
  Log(text.c_str());
}

platform::SocketHandle ListenOrEnd(const BridgeSettings& settings) {
  platform::SocketHandle listener = platform::TcpListen(settings.listenAddress, settings.listenPort);
  if (listener == platform::NO_SOCKET) {
    BridgeSay("Cannot listen on " + DottedDecimal(settings.listenAddress) + ":" +
              std::to_string(settings.listenPort) + "\n");
    platform::ExitProcess(1);
  }
  BridgeSay("Listening on " + DottedDecimal(settings.listenAddress) + ":" +
            std::to_string(platform::LocalPort(listener)) + "\n");
  return listener;
}

void AcceptClients(platform::SocketHandle listener, const BridgeSettings& settings, ClientServer serve) {
  for (;;) {
    uint32_t peer = 0;
    platform::SocketHandle connection = platform::TcpAccept(listener, &peer);
    if (connection == platform::NO_SOCKET) {
      platform::SleepMs(100);
      continue;
    }
    const std::string client = DottedDecimal(peer);
    if (!Allowed(settings, peer)) {
      BridgeSay("Client " + client + " refused: not allowed\n");
      platform::CloseSocket(connection);
      continue;
    }
    BridgeSay("Client " + client + " accepted\n");
    std::thread(serve, connection, client).detach();
  }
}
