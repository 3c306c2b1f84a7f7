#pragma once
// The listening side both bridges share: the socket where the settings say,
// and the accept loop that lets in only whom the allow lines name.

#include <string>

#include "bridge/bridge_config.h"
#include "platform/platform.h"

// On the console and in the bridge's log.
void BridgeSay(const std::string& text);

// Listens where the settings say and says where; ends the process with
// exit code 1 when it cannot.
platform::SocketHandle ListenOrEnd(const BridgeSettings& settings);

using ClientServer = void (*)(platform::SocketHandle connection, const std::string& client);

// Accepts clients for good, each one let in served on a thread of its own.
[[noreturn]] void AcceptClients(platform::SocketHandle listener, const BridgeSettings& settings, ClientServer serve);
