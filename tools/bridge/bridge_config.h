#pragma once
// What a bridge that serves the simulator's request lists over TCP is told
// by its configuration file: where it listens, whom it lets in, how many at
// once, and how long a silent one keeps its place. It hands whoever it lets
// in the simulator's whole offset space.

#include <cstdint>
#include <functional>
#include <vector>

#include "process/char_source.h"

struct Subnet {
  uint32_t address;  // host byte order, already masked
  uint32_t mask;
};

struct BridgeSettings {
  uint32_t listenAddress = 0x7F000001;  // this PC only, until the configuration says otherwise
  uint16_t listenPort = 9300;
  std::vector<Subnet> allowed;
  // A node sends a list every second or more often: one silent this long
  // has lost its power or its cable, and its connection is let go.
  uint32_t idleSeconds = 30;
  uint32_t maxClients = 16;  // each holds a thread and a connection
};

inline constexpr uint32_t MAX_IDLE_SECONDS = 24 * 3600;
inline constexpr uint32_t MAX_CLIENTS_LIMIT = 1000;

// "ADDRESS:PORT" in dotted decimal; port 0 takes any free port.
bool ParseListen(const char* text, uint32_t& address, uint16_t& port);
// "ADDRESS" or "ADDRESS/BITS".
bool ParseSubnet(const char* text, Subnet& subnet);

// A bridge's own keys besides listen and allow: true when it used the pair
// (the key lower-cased).
using BridgeKey = std::function<bool(const char* key, const char* value)>;

// Key and value words as in the node's configuration, "//" starting a
// comment: listen, allow, idle (seconds, 1 to a day) and clients (1 to
// 1000) lines, and the bridge's own. Every pair it
// cannot use is shown on the console and logged ("ReadBridgeConfig() -
// Unable to use: KEY VALUE").
void ReadBridgeConfigFrom(CharSource& source, BridgeSettings& settings, const BridgeKey& own = {});

// As the allow lines say; without any, this PC's own clients only.
bool Allowed(const BridgeSettings& settings, uint32_t peer);
