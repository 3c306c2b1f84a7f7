// commgr's web page: the node's messages as its displays read them, the
// changes it posts as the items command sends them, and every other request
// refused.

#include <httplib.h>

#include <cmath>

#include "commgr/items_message.h"
#include "commgr/json_reader.h"
#include "commgr/web_decode.h"
#include "commgr/web_server.h"
#include "support/test_support.h"
#include "vardb/var_table.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

namespace {

std::vector<uint8_t> BlockMessage(uint32_t type, size_t size, uint32_t seq) {
  std::vector<uint8_t> message(size, 0);
  MsgHeader header;
  header.MsgClass = MSG_CLASS_DATA;
  header.MsgType = type;
  header.SeqNo = seq;
  WriteMsgHeader(message.data(), header);
  return message;
}

// Block 3 bytes as the simulator delivers them: a right turn at 137 knots,
// climbing 500 ft/min at 4500 ft with the nose 2.5 degrees up; the
// autopilot at 90 degrees and 5000 ft with its master and heading hold on.
TEST(WebDecode, Block3AsTheDisplaysReadIt) {
  WebState state;
  std::vector<uint8_t> m = BlockMessage(MSG_BLOCK_3, 280, 7);
  PutF64(&m[40], 47.45);                     // 0x6010 latitude
  PutF64(&m[48], -122.31);                   // 0x6018 longitude
  PutF64(&m[104], 271.5);                    // 0x2B00 heading
  PutI32(&m[128], 137 * 128);                // 0x02BC airspeed, knots x 128
  PutI32(&m[144], 4500);                     // 0x3324 altimeter, feet
  PutI32(&m[148], -143165577);               // 0x057C bank, 12 degrees right
  PutI32(&m[152], 650);                      // 0x02C8 vertical speed, m/s x 256: 500 ft/min
  PutI32(&m[156], 99876864);                 // 0x07D4 autopilot altitude, 5000 ft
  PutI32(&m[164], -29826162);                // 0x0578 pitch, 2.5 degrees up
  PutI32(&m[172], 1);                        // 0x07BC autopilot master
  PutI32(&m[196], 1);                        // 0x07C8 heading hold
  PutU16(&m[256], 16384);                    // 0x07CC autopilot heading
  PutU16(&m[266], 0x0344);                   // ADF1 344.5 kHz
  PutU16(&m[268], 0x0005);
  m[248] = 1;
  NoteDatagram(state, m.data(), m.size(), 1000);
  const FlightView& f = state.flight;
  ASSERT_TRUE(f.from.seen);
  EXPECT_EQ(f.from.seq, 7u);
  EXPECT_EQ(f.from.at, 1000);
  EXPECT_DOUBLE_EQ(f.latitude, 47.45);
  EXPECT_DOUBLE_EQ(f.longitude, -122.31);
  EXPECT_DOUBLE_EQ(f.heading, 271.5);
  EXPECT_DOUBLE_EQ(f.airspeed, 137.0);
  EXPECT_EQ(f.altitude, 4500);
  EXPECT_NEAR(f.bank, 12.0, 1e-6);
  EXPECT_NEAR(f.pitch, 2.5, 1e-6);
  EXPECT_NEAR(f.verticalSpeed, 500.0, 0.5);
  EXPECT_EQ(f.adf1, "344.5");
  EXPECT_TRUE(f.autopilot.master);
  EXPECT_TRUE(f.autopilot.headingHold);
  EXPECT_FALSE(f.autopilot.altitudeHold);
  EXPECT_DOUBLE_EQ(f.autopilot.heading, 90.0);
  EXPECT_NEAR(f.autopilot.altitude, 5000.0, 1e-6);
  EXPECT_TRUE(f.simulatorConnected);
  ASSERT_EQ(state.track.size(), 1u);
  EXPECT_DOUBLE_EQ(state.track[0].latitude, 47.45);
}

TEST(WebDecode, Block2RadiosAndBlock1Engines) {
  WebState state;
  std::vector<uint8_t> b2 = BlockMessage(MSG_BLOCK_2, 192, 1);
  PutU16(&b2[132], 0x2345);  // COM1 123.45
  PutU16(&b2[136], 0x1800);  // COM1 standby 118.00
  PutU16(&b2[122], 0x1795);  // NAV2 117.95
  PutU16(&b2[128], 355);     // course 1
  PutI32(&b2[96], 16383);    // flaps out
  PutI32(&b2[104], 16383);   // gear lever down
  std::memcpy(&b2[172], "Stub Jet", 9);
  NoteDatagram(state, b2.data(), b2.size(), 5);
  EXPECT_EQ(state.radios.com1, "123.45");
  EXPECT_EQ(state.radios.com1Standby, "118.00");
  EXPECT_EQ(state.radios.nav2, "117.95");
  EXPECT_EQ(state.radios.course1, 355);
  EXPECT_DOUBLE_EQ(state.radios.flaps, 1.0);
  EXPECT_DOUBLE_EQ(state.radios.gear, 1.0);
  EXPECT_EQ(state.radios.model, "Stub Jet");

  std::vector<uint8_t> b1 = BlockMessage(MSG_BLOCK_1, 360, 2);
  PutU16(&b1[344], 2);        // 0x0AEC engines
  PutF64(&b1[72], 87.5);      // 0x2010 N1 engine 1
  PutF64(&b1[80], 91.25);     // 0x2110 N1 engine 2
  PutF64(&b1[176], 1234.5);   // 0x09B0 fuel flow engine 2
  PutF64(&b1[200], 4000.0);   // the tanks, as the node computes them
  PutF64(&b1[208], 3000.0);
  NoteDatagram(state, b1.data(), b1.size(), 6);
  EXPECT_EQ(state.engines.engines, 2);
  EXPECT_DOUBLE_EQ(state.engines.n1[0], 87.5);
  EXPECT_DOUBLE_EQ(state.engines.n1[1], 91.25);
  EXPECT_DOUBLE_EQ(state.engines.fuelFlow[1], 1234.5);
  EXPECT_DOUBLE_EQ(state.engines.fuelGallons, 7000.0);
}

// Only ObjID tells a record in use; the message's sequence joins the
// blocks' (998, 999, 0 follow each other; 2 skips one).
TEST(WebDecode, TrafficRecordsInUseAndSequenceGaps) {
  WebState state;
  uint32_t seqs[] = {998, 999, 0, 2};
  for (uint32_t seq : seqs) {
    std::vector<uint8_t> m = BlockMessage(MSG_AIR_TRAFFIC, 1160, seq);
    for (size_t i : {0u, 2u}) {
      uint8_t* r = &m[40 + i * 56];
      PutF64(r, 47.5);
      PutF64(r + 24, 92.5);
      PutU32(r + 40, 2101 + static_cast<uint32_t>(i));
      std::memcpy(r + 44, i == 0 ? "N123AB" : "ASA\xE9", i == 0 ? 7 : 5);
    }
    NoteDatagram(state, m.data(), m.size(), seq);
  }
  ASSERT_EQ(state.air.aircraft.size(), 2u);
  EXPECT_EQ(state.air.aircraft[0].ident, "N123AB");
  EXPECT_EQ(state.air.aircraft[1].id, 2103u);
  EXPECT_DOUBLE_EQ(state.air.aircraft[1].heading, 92.5);
  EXPECT_EQ(state.link.sequenceGaps, 1u);
  ASSERT_EQ(state.link.messages.size(), 1u);
  EXPECT_STREQ(state.link.messages[0].name, "air-traffic");
  EXPECT_EQ(state.link.messages[0].count, 4u);
  EXPECT_FALSE(state.ground.from.seen);
  // Whatever bytes an ident holds, the state is JSON, the ident in it intact.
  JsonValue json;
  ASSERT_TRUE(ReadJson(StateJson(state, 10, true), json));
  const JsonValue* air = json.Member("air")->Member("aircraft");
  ASSERT_NE(air, nullptr);
  EXPECT_EQ(air->items[1].Member("ident")->text, "ASA\xC3\xA9");
  EXPECT_EQ(json.Member("ground")->kind, JsonValue::Kind::Null) << "nothing shown before it arrived";
}

struct JsonCase {
  const char* text;
  bool json;
};
class JsonTexts : public testing::TestWithParam<JsonCase> {};
TEST_P(JsonTexts, AreReadOnlyWhenWhole) {
  JsonValue value;
  EXPECT_EQ(ReadJson(GetParam().text, value), GetParam().json) << GetParam().text;
}
INSTANTIATE_TEST_SUITE_P(Table, JsonTexts,
                         testing::Values(JsonCase{R"({"items":[{"fsx":79,"value":1}]})", true},
                                         JsonCase{R"( {"a" : [1, -2.5e3, true, null, "x\n\u00e9"]} )", true},
                                         JsonCase{"", false}, JsonCase{"{", false},
                                         JsonCase{R"({"items":[1,]})", false}, JsonCase{R"({"a":1} x)", false},
                                         JsonCase{R"({"a":01})", false}, JsonCase{R"({"a":1.})", false},
                                         JsonCase{R"({"a":NaN})", false}, JsonCase{R"({a:1})", false},
                                         JsonCase{"{\"a\":\"\x01\"}", false}, JsonCase{R"(["\ud800"])", false},
                                         JsonCase{R"({"a":1e999})", false},
                                         JsonCase{"[[[[[[[[[[1]]]]]]]]]]", false}));

// The items command's words and what goes on the wire after the header.
TEST(ItemsMessage, CarriesEachItemAsItsWidthSays) {
  std::vector<Item> items(2);
  ASSERT_TRUE(ParseItemWord("i:79=1", items[0]));
  ASSERT_TRUE(ParseItemWord("d:114=1000", items[1]));
  std::vector<uint8_t> bytes(ItemsSize(items));
  PutItems(bytes.data(), items);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x4F, 0, 0, 0, 1, 0, 0, 0, 0x72, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x8F, 0x40}));
  Item item{};
  EXPECT_FALSE(ParseItemWord("x79=1", item));
}

class WebServer : public testing::Test {
 protected:
  void SetUp() override {
    InitDB();
    Start({});
  }
  void TearDown() override { StopWebServer(); }
  void Start(const std::vector<Subnet>& allowed) {
    StopWebServer();
    WebOptions options;
    options.allowed = allowed;
    ASSERT_TRUE(StartWebServer(options, [this](const std::vector<Item>& items) {
      sent.push_back(items);
      return true;
    }, port));
  }
  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    return client;
  }
  int Post(const std::string& body, const std::string& type = "application/json", const httplib::Headers& headers = {}) {
    auto result = Client().Post("/change", headers, body, type.c_str());
    return result ? result->status : -1;
  }
  uint16_t port = 0;
  std::vector<std::vector<Item>> sent;
};

TEST_F(WebServer, AChangeIsTheItemsOfTheNodesTable) {
  EXPECT_EQ(Post(R"({"items":[{"fsx":79,"value":1},{"fsx":114,"value":1000}]})"), 202);
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].size(), 2u);
  std::vector<Item> command(2);
  ParseItemWord("i:79=1", command[0]);
  ParseItemWord("d:114=1000", command[1]);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(sent[0][i].isDouble, command[i].isDouble);
    EXPECT_EQ(sent[0][i].fsxIndex, command[i].fsxIndex);
    EXPECT_EQ(sent[0][i].intValue, command[i].intValue);
    EXPECT_EQ(sent[0][i].doubleValue, command[i].doubleValue);
  }
}

struct BadRequest {
  const char* name;
  const char* method;
  const char* path;
  std::string body;
  const char* type;
  httplib::Headers headers;
  int status;
};
class BadRequests : public WebServer, public testing::WithParamInterface<BadRequest> {};

TEST_P(BadRequests, AreRefusedAndSendNothing) {
  const BadRequest& bad = GetParam();
  httplib::Request request;
  request.method = bad.method;
  request.path = bad.path;
  request.headers = bad.headers;
  request.body = bad.body;
  if (*bad.type) request.set_header("Content-Type", bad.type);
  auto result = Client().send(request);
  ASSERT_TRUE(result) << bad.name;
  EXPECT_EQ(result->status, bad.status) << bad.name << ": " << result->body;
  EXPECT_TRUE(sent.empty()) << bad.name;
}

const std::string kChange = R"({"items":[{"fsx":79,"value":1}]})";
INSTANTIATE_TEST_SUITE_P(
    Table, BadRequests,
    testing::Values(
        BadRequest{"unknown path", "GET", "/etc/passwd", "", "", {}, 404},
        BadRequest{"a path out of the folder", "GET", "/../CMakeLists.txt", "", "", {}, 404},
        BadRequest{"a change by GET", "GET", "/change", "", "", {}, 404},
        BadRequest{"PUT", "PUT", "/change", kChange, "application/json", {}, 405},
        BadRequest{"DELETE", "DELETE", "/", "", "", {}, 405},
        BadRequest{"HEAD", "HEAD", "/", "", "", {}, 405},
        BadRequest{"OPTIONS before a change from elsewhere", "OPTIONS", "/change", "", "", {}, 405},
        BadRequest{"POST elsewhere", "POST", "/events", kChange, "application/json", {}, 404},
        BadRequest{"not JSON by its type", "POST", "/change", kChange, "text/plain", {}, 415},
        BadRequest{"oversized", "POST", "/change", std::string(WEB_BODY_LIMIT + 1, ' '), "application/json", {}, 413},
        BadRequest{"malformed JSON", "POST", "/change", R"({"items":[{"fsx":79,"value":1}])", "application/json", {}, 400},
        BadRequest{"no items", "POST", "/change", R"({"items":[]})", "application/json", {}, 400},
        BadRequest{"an index as text", "POST", "/change", R"({"items":[{"fsx":"79","value":1}]})", "application/json", {}, 400},
        BadRequest{"FsxIndex no declaration names", "POST", "/change", R"({"items":[{"fsx":18,"value":1}]})", "application/json", {}, 422},
        BadRequest{"FsxIndex past the map", "POST", "/change", R"({"items":[{"fsx":300,"value":1}]})", "application/json", {}, 422},
        BadRequest{"negative FsxIndex", "POST", "/change", R"({"items":[{"fsx":-1,"value":1}]})", "application/json", {}, 422},
        BadRequest{"one bad item of two", "POST", "/change", R"({"items":[{"fsx":79,"value":1},{"fsx":250,"value":1}]})", "application/json", {}, 422},
        BadRequest{"a fraction for an integer", "POST", "/change", R"({"items":[{"fsx":79,"value":1.5}]})", "application/json", {}, 422},
        BadRequest{"past 32 bits", "POST", "/change", R"({"items":[{"fsx":79,"value":4294967296}]})", "application/json", {}, 422},
        BadRequest{"a page of another site", "POST", "/change", kChange, "application/json", {{"Origin", "http://example.org"}}, 403},
        BadRequest{"a name that led here", "GET", "/", "", "", {{"Host", "rebound.example.org"}}, 403}));

TEST_F(WebServer, ServesItsFilesAndTheControlsOfTheTable) {
  auto page = Client().Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type").rfind("text/html", 0), 0u);
  auto controls = Client().Get("/controls.json");
  ASSERT_TRUE(controls);
  JsonValue json;
  ASSERT_TRUE(ReadJson(controls->body, json)) << controls->body;
  ASSERT_NE(json.Member("com1Swap"), nullptr);
  EXPECT_EQ(json.Member("com1Swap")->number, 79);
  for (const auto& [name, fsx] : json.members) {
    EXPECT_NE(FsxVarType(static_cast<int64_t>(fsx.number)), VAR_TYPE_NONE) << name << " is not in the table";
  }
}

TEST_F(WebServer, RefusesAClientOutsideItsAllowList) {
  Subnet elsewhere{};
  ASSERT_TRUE(ParseSubnet("10.0.0.0/8", elsewhere));
  Start({elsewhere});
  auto page = Client().Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 403);
  EXPECT_EQ(Post(kChange), 403);
  EXPECT_TRUE(sent.empty());
}

// A change of the state reaches an open stream as its next event.
TEST_F(WebServer, StreamsTheStateAsItChanges) {
  std::string received;
  std::thread reader([&] {
    Client().Get("/events", [&](const char* data, size_t length) {
      received.append(data, length);
      return received.find("\"com1\":\"123.45\"") == std::string::npos;
    });
  });
  const bool opened = Eventually([&] { return received.find("data: {") != std::string::npos; }, 5000);
  std::vector<uint8_t> b2 = BlockMessage(MSG_BLOCK_2, 192, 1);
  PutU16(&b2[132], 0x2345);
  ChangeWebState([&](WebState& state) { NoteDatagram(state, b2.data(), b2.size(), WallClockMs()); });
  reader.join();
  EXPECT_TRUE(opened) << "the stream sends the state before any change";
  EXPECT_NE(received.find("\"com1\":\"123.45\""), std::string::npos) << received;
}

TEST(WebListen, TakesAPortAloneOrWithItsAddress) {
  uint32_t address = 0;
  uint16_t port = 0;
  ASSERT_TRUE(ParseWebListen("8080", address, port));
  EXPECT_EQ(address, 0x7F000001u);
  EXPECT_EQ(port, 8080);
  ASSERT_TRUE(ParseWebListen("192.168.1.20:80", address, port));
  EXPECT_EQ(address, 0xC0A80114u);
  EXPECT_FALSE(ParseWebListen("localhost:80", address, port));
  EXPECT_FALSE(ParseWebListen("70000", address, port));
}

}  // namespace
