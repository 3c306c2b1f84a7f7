#pragma once
// The listening side both bridges share: the socket where the settings say,
// the accept loop that lets in only whom the allow lines name and no more
// clients than the settings allow, and the serving of each client's lists
// until it goes, falls silent or breaks the protocol.

#include <cstdint>
#include <string>

#include "bridge/bridge_config.h"
#include "platform/platform.h"

// On the console and in the bridge's log.
void BridgeSay(const std::string& text);

// Listens where the settings say and says where; ends the process with
// exit code 1 when it cannot.
platform::SocketHandle ListenOrEnd(const BridgeSettings& settings);

// What the bridge does with one list of the client (its address): true with
// the answer that goes back beside the list; false to close the connection
// unanswered, having said why.
using ListServer = bool (*)(const std::string& client, uint8_t* list, uint32_t length, uint32_t& answer);

// Accepts clients for good, each one let in served on a thread of its own;
// every client let go and every one refused is named in a line that says
// why.
[[noreturn]] void AcceptClients(platform::SocketHandle listener, const BridgeSettings& settings, ListServer serve);

// The clients being served now.
uint32_t ClientsNow();
