#include "commgr/web_server.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "commgr/json_reader.h"
#include "commgr/web_files.h"
#include "net/ipv4_text.h"
#include "vardb/fsx_index.h"
#include "vardb/var_table.h"

namespace {

// The state the streams send, and its changes.
struct Feed {
  std::mutex lock;
  std::condition_variable changed;
  WebState state;
};
Feed feed;

std::unique_ptr<httplib::Server> server;
std::thread serving;
std::atomic<uint32_t> streams{0};

// What the page may press, by the name its script uses.
struct Control {
  const char* name;
  int32_t fsxIndex;
};
constexpr Control CONTROLS[] = {
    {"landingLights", Fsx::LandingLights},   {"gear", Fsx::Gear},
    {"com1Swap", Fsx::Com1Swap},             {"com2Swap", Fsx::Com2Swap},
    {"nav1Swap", Fsx::Nav1Swap},             {"nav2Swap", Fsx::Nav2Swap},
    {"com1LargeUp", Fsx::Com1LargeUp},       {"com1LargeDown", Fsx::Com1LargeDown},
    {"com1SmallUp", Fsx::Com1SmallUp},       {"com1SmallDown", Fsx::Com1SmallDown},
    {"com2LargeUp", Fsx::Com2LargeUp},       {"com2LargeDown", Fsx::Com2LargeDown},
    {"com2SmallUp", Fsx::Com2SmallUp},       {"com2SmallDown", Fsx::Com2SmallDown},
    {"nav1LargeUp", Fsx::Nav1LargeUp},       {"nav1LargeDown", Fsx::Nav1LargeDown},
    {"nav1SmallUp", Fsx::Nav1SmallUp},       {"nav1SmallDown", Fsx::Nav1SmallDown},
    {"nav2LargeUp", Fsx::Nav2LargeUp},       {"nav2LargeDown", Fsx::Nav2LargeDown},
    {"nav2SmallUp", Fsx::Nav2SmallUp},       {"nav2SmallDown", Fsx::Nav2SmallDown},
    {"course1Step", Fsx::Course1Step},       {"course2Step", Fsx::Course2Step},
    {"adf1Up", Fsx::Adf1Up},                 {"adf1Down", Fsx::Adf1Down},
    {"adf2Up", Fsx::Adf2Up},                 {"adf2Down", Fsx::Adf2Down},
    {"autopilotMaster", Fsx::AutopilotMaster}, {"headingHold", Fsx::HeadingHold},
    {"altitudeHold", Fsx::AltitudeHold},     {"speedHold", Fsx::SpeedHold},
    {"navHold", Fsx::NavHold},               {"autothrottle", Fsx::Autothrottle},
    {"flightDirector", Fsx::FlightDirector}, {"headingStep", Fsx::HeadingStep},
    {"altitudeStep", Fsx::AltitudeStep},     {"speedStep", Fsx::SpeedStep},
    {"verticalSpeed", Fsx::AutopilotVerticalSpeed},
};

void Refuse(httplib::Response& response, int status, const std::string& why) {
  response.status = status;
  response.set_header("Connection", "close");
  response.set_content(why + "\n", "text/plain; charset=utf-8");
}

// The page's own origin: a Host of an address or of this PC's name, as a
// page from another site that a name led here would not have.
bool HostIsAddress(const std::string& host) {
  std::string name = host.substr(0, host.rfind(':'));
  return name == "localhost" || ParseDottedDecimal(name.c_str()) != INVALID_IPV4;
}

const WebFile* FindFile(const std::string& path) {
  std::string name = path == "/" ? "index.html" : path.substr(1);
  for (size_t i = 0; i < WEB_FILE_COUNT; ++i) {
    if (name == WEB_FILES[i].name) return &WEB_FILES[i];
  }
  return nullptr;
}

bool KnownPath(const std::string& method, const std::string& path) {
  if (method == "POST") return path == "/change";
  return path == "/events" || path == "/controls.json" || FindFile(path) != nullptr;
}

// The items of a posted change: {"items": [{"fsx": N, "value": V}, ...]},
// each FsxIndex declared in the node's variable table, its value as wide
// as the table says. The status and the reason when it is not.
int ReadChange(const std::string& body, std::vector<Item>& items, std::string& why) {
  JsonValue change;
  if (!ReadJson(body, change)) {
    why = "not JSON";
    return 400;
  }
  const JsonValue* list = change.Member("items");
  if (list == nullptr || list->kind != JsonValue::Kind::Array || list->items.empty() ||
      list->items.size() > WEB_ITEMS_LIMIT) {
    why = "expected {\"items\": [{\"fsx\": N, \"value\": V}, ...]} with 1 to 16 items";
    return 400;
  }
  for (const JsonValue& entry : list->items) {
    const JsonValue* fsx = entry.Member("fsx");
    const JsonValue* value = entry.Member("value");
    if (fsx == nullptr || value == nullptr || fsx->kind != JsonValue::Kind::Number ||
        value->kind != JsonValue::Kind::Number || std::trunc(fsx->number) != fsx->number) {
      why = "an item needs a whole number \"fsx\" and a number \"value\"";
      return 400;
    }
    const double index = fsx->number;
    const int32_t type = index >= 0 && index < MAX_FSXS ? FsxVarType(static_cast<int64_t>(index)) : VAR_TYPE_NONE;
    if (type != VAR_TYPE_INT && type != VAR_TYPE_DOUBLE && type != VAR_TYPE_DOUBLE_1) {
      why = "FsxIndex " + std::to_string(static_cast<long long>(index)) + " is not in the node's variable table";
      return 422;
    }
    Item item{type != VAR_TYPE_INT, static_cast<uint32_t>(index), 0, value->number};
    if (!item.isDouble) {
      if (std::trunc(value->number) != value->number || value->number < INT32_MIN || value->number > INT32_MAX) {
        why = "FsxIndex " + std::to_string(item.fsxIndex) + " takes a whole 32-bit number";
        return 422;
      }
      item.intValue = static_cast<int32_t>(value->number);
      item.doubleValue = 0;
    }
    items.push_back(item);
  }
  return 202;
}

// The state as server-sent events: at most every 50 ms, at least every
// 250 ms, as soon as it changed in between. The first event carries the
// whole track, later ones only its newest point.
struct Stream {
  uint64_t sentVersion = ~0ull;
  bool first = true;
  std::chrono::steady_clock::time_point sentAt{};
};

bool SendState(Stream& stream, httplib::DataSink& sink) {
  using std::chrono::milliseconds;
  std::string event;
  {
    std::unique_lock<std::mutex> guard(feed.lock);
    feed.changed.wait_until(guard, stream.sentAt + milliseconds(WEB_PUSH_SILENCE_MS),
                            [&] { return feed.state.version != stream.sentVersion; });
    guard.unlock();
    // Changes in quick succession go out together.
    std::this_thread::sleep_until(stream.sentAt + milliseconds(WEB_PUSH_INTERVAL_MS));
    guard.lock();
    stream.sentVersion = feed.state.version;
    event = "data: " + StateJson(feed.state, WallClockMs(), stream.first) + "\n\n";
  }
  stream.first = false;
  stream.sentAt = std::chrono::steady_clock::now();
  return sink.write(event.data(), event.size());
}

void Serve(httplib::Server& web, const WebOptions& options, const SendItemsHook& send) {
  BridgeSettings allow;
  allow.allowed = options.allowed;
  web.set_payload_max_length(WEB_BODY_LIMIT);
  web.set_pre_routing_handler([allow](const httplib::Request& request, httplib::Response& response) {
    uint32_t peer = ParseDottedDecimal(request.remote_addr.c_str());
    if (peer == INVALID_IPV4 || !Allowed(allow, peer)) {
      Refuse(response, 403, "not on this page's allow list");
    } else if (!HostIsAddress(request.get_header_value("Host"))) {
      Refuse(response, 403, "this page answers to its address only");
    } else if (request.method != "GET" && request.method != "POST") {
      Refuse(response, 405, "GET or POST only");
    } else if (!KnownPath(request.method, request.path)) {
      Refuse(response, 404, "no such page");
    } else {
      response.set_header("Cache-Control", "no-cache");
      response.set_header("X-Content-Type-Options", "nosniff");
      response.set_header("Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'");
      return httplib::Server::HandlerResponse::Unhandled;
    }
    return httplib::Server::HandlerResponse::Handled;
  });
  web.Get("/events", [](const httplib::Request&, httplib::Response& response) {
    if (streams.fetch_add(1) >= WEB_STREAMS_LIMIT) {
      streams.fetch_sub(1);
      Refuse(response, 503, "too many pages open");
      return;
    }
    auto stream = std::make_shared<Stream>();
    response.set_chunked_content_provider(
        "text/event-stream", [stream](size_t, httplib::DataSink& sink) { return SendState(*stream, sink); },
        [](bool) { streams.fetch_sub(1); });
  });
  web.Get("/controls.json", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(ControlsJson(), "application/json");
  });
  web.Get(".*", [](const httplib::Request& request, httplib::Response& response) {
    const WebFile* file = FindFile(request.path);
    response.set_content(reinterpret_cast<const char*>(file->data), file->size, file->type);
  });
  web.Post("/change", [send](const httplib::Request& request, httplib::Response& response) {
    const std::string host = request.get_header_value("Host");
    if (request.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
      Refuse(response, 415, "a change is JSON");
      return;
    }
    if (request.has_header("Origin") && request.get_header_value("Origin") != "http://" + host) {
      Refuse(response, 403, "a change comes from this page only");
      return;
    }
    std::vector<Item> items;
    std::string why;
    int status = ReadChange(request.body, items, why);
    if (status != 202) {
      Refuse(response, status, why);
    } else if (!send(items)) {
      Refuse(response, 503, "no node has registered");
    } else {
      response.status = 202;
      response.set_content("{\"sent\":" + std::to_string(items.size()) + "}", "application/json");
    }
  });
}

}  // namespace

bool ParseWebListen(const char* text, uint32_t& address, uint16_t& port) {
  std::string endpoint = text;
  if (endpoint.find(':') == std::string::npos) endpoint = "127.0.0.1:" + endpoint;
  return ParseListen(endpoint.c_str(), address, port);
}

bool StartWebServer(const WebOptions& options, const SendItemsHook& send, uint16_t& port) {
  if (server) return false;
  server = std::make_unique<httplib::Server>();
  Serve(*server, options, send);
  int bound = options.port == 0 ? server->bind_to_any_port(DottedDecimal(options.address))
                                : (server->bind_to_port(DottedDecimal(options.address), options.port) ? options.port : -1);
  if (bound <= 0) {
    server.reset();
    return false;
  }
  port = static_cast<uint16_t>(bound);
  serving = std::thread([] { server->listen_after_bind(); });
  // Stopping it takes effect only once it listens.
  for (int waited = 0; !server->is_running() && waited < 5000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void StopWebServer() {
  if (!server) return;
  server->stop();
  serving.join();
  server.reset();
}

void ChangeWebState(const std::function<void(WebState& state)>& change) {
  {
    std::lock_guard<std::mutex> guard(feed.lock);
    change(feed.state);
    ++feed.state.version;
  }
  feed.changed.notify_all();
}

std::string ControlsJson() {
  std::string json = "{";
  for (const Control& control : CONTROLS) {
    json += (json.size() > 1 ? ",\"" : "\"") + std::string(control.name) + "\":" + std::to_string(control.fsxIndex);
  }
  return json + "}";
}

int64_t WallClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}
