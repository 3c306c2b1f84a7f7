#pragma once
// commgr's web page: its own files, an event stream of what commgr
// receives (web_state.h), and the changes the page's controls post, sent
// to the node as the items command sends them. Served over HTTP to the
// addresses of an allow list only.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bridge/bridge_config.h"
#include "commgr/items_message.h"
#include "commgr/web_state.h"

struct WebOptions {
  uint32_t address = 0x7F000001;  // this PC only, unless told otherwise
  uint16_t port = 0;              // 0 takes a free one
  std::vector<Subnet> allowed;    // none: this PC's own clients only
};

inline constexpr size_t WEB_BODY_LIMIT = 4096;     // bytes of a posted change
inline constexpr size_t WEB_ITEMS_LIMIT = 16;      // items in one change
inline constexpr uint32_t WEB_STREAMS_LIMIT = 4;   // event streams at once
inline constexpr int64_t WEB_PUSH_INTERVAL_MS = 50;   // the most often a stream is sent the state
inline constexpr int64_t WEB_PUSH_SILENCE_MS = 250;   // the longest it goes without

// "[ADDRESS:]PORT" in dotted decimal; the address 127.0.0.1 when only a
// port is given.
bool ParseWebListen(const char* text, uint32_t& address, uint16_t& port);

// Sends the items to the node as one data message; false when there is no
// node to send them to.
using SendItemsHook = std::function<bool(const std::vector<Item>& items)>;

// Listens and serves on a thread of its own; false when the address cannot
// be had. `port` is then the port it listens on.
bool StartWebServer(const WebOptions& options, const SendItemsHook& send, uint16_t& port);
// Stops serving and lets the streams end (for tests).
void StopWebServer();

// Changes what the page shows: `change` runs under the state's lock, and
// the streams then send the new state.
void ChangeWebState(const std::function<void(WebState& state)>& change);

// The controls the page has, each with the FsxIndex it sends, as JSON.
std::string ControlsJson();

// Milliseconds since 1970 by the wall clock, as the page's clock counts them.
int64_t WallClockMs();
