#include "bridge/bridge_listen.h"

#include <atomic>
#include <thread>

#include "ipc/server.h"
#include "net/ipv4_text.h"
#include "platform/server.h"
#include "process/log.h"
#include "process/print.h"

namespace {

// A list must arrive whole within this time of its first byte.
constexpr uint32_t PARTIAL_LIST_MS = 10000;
// Probes of a connection that carries nothing: a peer gone without a word
// (power, cable) ends it within about half a minute even inside a list.
constexpr uint32_t KEEP_ALIVE_IDLE_SECONDS = 10;
constexpr uint32_t KEEP_ALIVE_INTERVAL_SECONDS = 5;

std::atomic<uint32_t> clientsNow{0};

std::string WhyLetGo(const std::string& client, StreamEnd end, uint32_t idleSeconds) {
  switch (end) {
    case StreamEnd::ClientLeft:
      return "Client " + client + " closed the connection\n";
    case StreamEnd::ClosedInList:
      return "Client " + client + " closed the connection part-way through a list\n";
    case StreamEnd::Lost:
      return "Client " + client + " lost (connection reset, or no answer to keep-alive probes); closed\n";
    case StreamEnd::Idle:
      return "Client " + client + " sent no list for " + std::to_string(idleSeconds) + " s; closed\n";
    case StreamEnd::PartialList:
      return "Client " + client + " sent part of a list and nothing more for " +
             std::to_string(PARTIAL_LIST_MS / 1000) + " s; closed\n";
    case StreamEnd::BadLength:
      return "Client " + client + " announced a list of an impossible length; closed\n";
    case StreamEnd::ReplyFailed:
      return "Client " + client + " did not take its answer; closed\n";
    case StreamEnd::Refused:
      break;  // the list's refusal has said it
  }
  return {};
}

void ServeClient(platform::SocketHandle connection, const std::string& client, uint32_t idleSeconds, ListServer serve) {
  StreamEnd end = ServeStreamConnection(connection, idleSeconds * 1000, PARTIAL_LIST_MS,
                                        [&](uint8_t* list, uint32_t length, uint32_t& answer) {
                                          return serve(client, list, length, answer);
                                        });
  // Its place is free before the line says so.
  --clientsNow;
  const std::string why = WhyLetGo(client, end, idleSeconds);
  if (!why.empty()) BridgeSay(why);
}

}  // namespace

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

uint32_t ClientsNow() { return clientsNow.load(); }

void AcceptClients(platform::SocketHandle listener, const BridgeSettings& settings, ListServer serve) {
  bool outOfDescriptorsSaid = false;
  for (;;) {
    uint32_t peer = 0;
    platform::IoStatus status = platform::IoStatus::Error;
    platform::SocketHandle connection = platform::TcpAccept(listener, &peer, &status);
    if (connection == platform::NO_SOCKET) {
      // The client waits, connected but unanswered, until a descriptor is
      // free: said once, not at every try.
      if (status == platform::IoStatus::NoDescriptors && !outOfDescriptorsSaid) {
        BridgeSay("Cannot accept a client: out of descriptors (too many connections or files open); it waits\n");
        outOfDescriptorsSaid = true;
      }
      platform::SleepMs(100);
      continue;
    }
    outOfDescriptorsSaid = false;
    const std::string client = DottedDecimal(peer);
    if (!Allowed(settings, peer)) {
      BridgeSay("Client " + client + " refused: not allowed\n");
      platform::CloseSocket(connection);
      continue;
    }
    if (clientsNow.load() >= settings.maxClients) {
      BridgeSay("Client " + client + " refused: " + std::to_string(settings.maxClients) +
                " clients are served already\n");
      platform::CloseSocket(connection);
      continue;
    }
    platform::SetKeepAlive(connection, KEEP_ALIVE_IDLE_SECONDS, KEEP_ALIVE_INTERVAL_SECONDS);
    ++clientsNow;
    BridgeSay("Client " + client + " accepted\n");
    std::thread(ServeClient, connection, client, settings.idleSeconds, serve).detach();
  }
}
