#include "commgr/web_decode.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "simlink/blocks.h"
#include "traffic/traffic.h"
#include "vardb/conversions.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

namespace {

constexpr double TWO_32 = 4294967296.0;
constexpr double FEET_PER_METRE = 1.0 / 0.3048;
constexpr double KNOTS_PER_METRE_PER_SECOND = 1.0 / 0.514444;
constexpr double FULL_SCALE = 16383.0;  // flaps and gear levers fully out
constexpr size_t RECENT_ARRIVALS = 256;
constexpr int64_t RATE_WINDOW_MS = 2000;
constexpr int64_t TRACK_INTERVAL_MS = 1000;

// The field that the layout carries for the simulator offset.
struct Fields {
  const uint8_t* message;
  BlockLayout layout;
  const uint8_t* At(uint16_t simOffset) const { return message + FieldAt(layout, simOffset); }
  double F64(uint16_t simOffset) const { return GetF64(At(simOffset)); }
  int32_t I32(uint16_t simOffset) const { return GetI32(At(simOffset)); }
  int16_t I16(uint16_t simOffset) const { return GetI16(At(simOffset)); }
  uint16_t U16(uint16_t simOffset) const { return GetU16(At(simOffset)); }
  bool On(uint16_t simOffset) const { return I32(simOffset) != 0; }
};

void Arrived(Arrival& from, uint32_t seq, int64_t at) { from = Arrival{true, seq, at}; }

void DecodeBlock1(EngineView& view, const uint8_t* message) {
  const Fields b{message, Block1Layout()};
  view.engines = b.I16(0x0AEC);
  constexpr uint16_t N1[] = {0x2010, 0x2110, 0x2210, 0x2310};
  constexpr uint16_t RPM[] = {0x2400, 0x2500, 0x2600, 0x2700};
  constexpr uint16_t FUEL_FLOW[] = {0x0918, 0x09B0, 0x0A48, 0x0AE0};
  for (size_t i = 0; i < ENGINES; ++i) {
    view.n1[i] = b.F64(N1[i]);
    view.rpm[i] = b.F64(RPM[i]);
    view.fuelFlow[i] = b.F64(FUEL_FLOW[i]);
  }
  // The tanks' contents, each computed into the block from its capacity and level.
  view.fuelGallons = 0;
  const ComputedLayout tanks = Block1Computed();
  for (size_t i = 0; i < tanks.count; ++i) view.fuelGallons += GetF64(message + tanks.fields[i].blockOffset);
}

void DecodeBlock2(RadioView& view, const uint8_t* message) {
  const Fields b{message, Block2Layout()};
  char model[Block2Field::MODEL_NAME_CAPACITY + 1] = {};
  std::copy_n(message + Block2Field::ModelName, Block2Field::MODEL_NAME_CAPACITY, model);
  view.model = model;
  view.com1 = BandFrequencyText(b.U16(0x034E));
  view.com1Standby = BandFrequencyText(b.U16(0x311A));
  view.com2 = BandFrequencyText(b.U16(0x3118));
  view.com2Standby = BandFrequencyText(b.U16(0x311C));
  view.nav1 = BandFrequencyText(b.U16(0x0350));
  view.nav1Standby = BandFrequencyText(b.U16(0x311E));
  view.nav2 = BandFrequencyText(b.U16(0x0352));
  view.nav2Standby = BandFrequencyText(b.U16(0x3120));
  view.course1 = b.U16(0x0C4E);
  view.course2 = b.U16(0x0C5E);
  view.flaps = b.I32(0x0BE0) / FULL_SCALE;
  view.flapPosition = b.I32(0x0BFC);
  view.flapPositions = b.U16(0x3BF8);
  view.gear = b.I32(0x0BE8) / FULL_SCALE;
  view.approachHold = b.On(0x0800);
  view.avionics = b.On(0x2E80);
}

void DecodeBlock3(FlightView& view, const uint8_t* message) {
  const Fields b{message, Block3Layout()};
  view.latitude = b.F64(0x6010);
  view.longitude = b.F64(0x6018);
  view.altitude = b.I32(0x3324);
  view.heading = b.F64(0x2B00);
  // The simulator counts pitch up and bank right negative.
  view.pitch = -b.I32(0x0578) * 360.0 / TWO_32;
  view.bank = -b.I32(0x057C) * 360.0 / TWO_32;
  view.airspeed = b.I32(0x02BC) / 128.0;
  view.trueAirspeed = b.I32(0x02B8) / 128.0;
  view.groundSpeed = b.I32(0x02B4) / 65536.0 * KNOTS_PER_METRE_PER_SECOND;
  view.verticalSpeed = b.I32(0x02C8) / 256.0 * FEET_PER_METRE * 60.0;
  view.adf1 = AdfFrequencyText(b.I16(0x034C), b.I16(0x0356));
  view.adf2 = AdfFrequencyText(b.I16(0x02D4), b.I16(0x02D6));
  AutopilotView& ap = view.autopilot;
  ap.master = b.On(0x07BC);
  ap.navHold = b.On(0x07C4);
  ap.headingHold = b.On(0x07C8);
  ap.altitudeHold = b.On(0x07D0);
  ap.speedHold = b.On(0x07DC);
  ap.autothrottle = b.On(0x0810);
  ap.flightDirector = b.On(0x2EE0);
  ap.heading = b.U16(0x07CC) * 360.0 / 65536.0;
  ap.altitude = b.I32(0x07D4) / 65536.0 * FEET_PER_METRE;
  ap.speed = b.I16(0x07E2);
  ap.verticalSpeed = b.I16(0x07F2);
  view.simulatorConnected = message[Block3Field::ConnectedByte] != 0;
}

void DecodeTraffic(TrafficView& view, const uint8_t* message) {
  view.aircraft.clear();
  for (size_t i = 0; i < TRAFFIC_RECORDS; ++i) {
    const uint8_t* record = message + MSG_BLOCK_DATA_OFFSET + i * TRAFFIC_RECORD_SIZE;
    TrafficView::Aircraft aircraft;
    aircraft.id = GetU32(record + TrafficRecordField::ObjID);
    if (aircraft.id == 0) continue;  // records after the last aircraft hold older values
    char ident[TrafficRecordField::IDENT_CAPACITY + 1] = {};
    std::copy_n(record + TrafficRecordField::Ident, TrafficRecordField::IDENT_CAPACITY, ident);
    aircraft.ident = ident;
    aircraft.latitude = GetF64(record + TrafficRecordField::Latitude);
    aircraft.longitude = GetF64(record + TrafficRecordField::Longitude);
    aircraft.altitude = GetF64(record + TrafficRecordField::Altitude);
    aircraft.heading = GetF64(record + TrafficRecordField::Heading);
    aircraft.groundSpeed = GetF64(record + TrafficRecordField::GroundSpeed);
    view.aircraft.push_back(aircraft);
  }
}

void Count(LinkView& link, const MsgHeader& header, int64_t at) {
  auto found = std::find_if(link.messages.begin(), link.messages.end(), [&](const MessageCount& m) {
    return m.msgClass == header.MsgClass && m.msgType == header.MsgType;
  });
  if (found == link.messages.end()) {
    link.messages.push_back(MessageCount{MessageTypeName(header.MsgClass, header.MsgType), header.MsgClass,
                                         header.MsgType, 0, {}});
    found = link.messages.end() - 1;
  }
  ++found->count;
  auto old = std::find_if(found->recent.begin(), found->recent.end(),
                          [at](int64_t then) { return then > at - RATE_WINDOW_MS; });
  found->recent.erase(found->recent.begin(), old);
  if (found->recent.size() >= RECENT_ARRIVALS) found->recent.erase(found->recent.begin());
  found->recent.push_back(at);
  link.lastMessageAt = at;
}

// The five block and traffic messages share one sequence, 0 to 999.
void FollowSequence(LinkView& link, uint32_t seq) {
  if (link.sequenceSeen && seq != (link.lastSequence + 1) % 1000) ++link.sequenceGaps;
  link.sequenceSeen = true;
  link.lastSequence = seq;
}

void AddTrackPoint(WebState& state, int64_t at) {
  if (!state.track.empty() && at - state.trackAt < TRACK_INTERVAL_MS) return;
  if (state.track.size() >= TRACK_POINTS) state.track.erase(state.track.begin());
  state.track.push_back(TrackPoint{state.flight.latitude, state.flight.longitude});
  state.trackAt = at;
  ++state.trackCount;
}

}  // namespace

const char* MessageTypeName(uint32_t msgClass, uint32_t type) {
  static const std::map<std::pair<uint32_t, uint32_t>, const char*> names = {
      {{MSG_CLASS_DATA, MSG_BLOCK_1}, "block1"},         {{MSG_CLASS_DATA, MSG_BLOCK_2}, "block2"},
      {{MSG_CLASS_DATA, MSG_BLOCK_3}, "block3"},         {{MSG_CLASS_DATA, MSG_AIR_TRAFFIC}, "air-traffic"},
      {{MSG_CLASS_DATA, MSG_GND_TRAFFIC}, "ground-traffic"}, {{MSG_CLASS_DATA, MSG_REMOTE_DATA}, "remote"},
      {{MSG_CLASS_DATA, MSG_UPDATE}, "update"},          {{MSG_CLASS_NETWORK, MSG_KEEP_ALIVE}, "keep-alive"},
      {{MSG_CLASS_NETWORK, MSG_SYS_LOG}, "syslog"}};
  auto found = names.find({msgClass, type});
  return found == names.end() ? "other" : found->second;
}

std::string BandFrequencyText(uint16_t word) {
  char text[16];
  std::snprintf(text, sizeof text, "1%02X.%02X", word >> 8, word & 0xFF);
  return text;
}

std::string AdfFrequencyText(int16_t mainWord, int16_t extensionWord) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", AdfToTenths(mainWord, extensionWord) / 10.0);
  return text;
}

void NoteDatagram(WebState& state, const uint8_t* datagram, size_t length, int64_t at) {
  if (length < MSG_HEADER_SIZE) return;
  const MsgHeader header = ReadMsgHeader(datagram);
  Count(state.link, header, at);
  ++state.version;
  if (header.MsgClass != MSG_CLASS_DATA) return;
  const uint32_t seq = header.SeqNo;
  if (header.MsgType >= MSG_BLOCK_1 && header.MsgType <= MSG_GND_TRAFFIC) FollowSequence(state.link, seq);
  if (header.MsgType == MSG_BLOCK_1 && length == BLOCK_1_SIZE) {
    DecodeBlock1(state.engines, datagram);
    Arrived(state.engines.from, seq, at);
  } else if (header.MsgType == MSG_BLOCK_2 && length == BLOCK_2_SIZE) {
    DecodeBlock2(state.radios, datagram);
    Arrived(state.radios.from, seq, at);
  } else if (header.MsgType == MSG_BLOCK_3 && length == BLOCK_3_SIZE) {
    DecodeBlock3(state.flight, datagram);
    Arrived(state.flight.from, seq, at);
    AddTrackPoint(state, at);
  } else if (header.MsgType == MSG_AIR_TRAFFIC && length == TRAFFIC_MESSAGE_SIZE) {
    DecodeTraffic(state.air, datagram);
    Arrived(state.air.from, seq, at);
  } else if (header.MsgType == MSG_GND_TRAFFIC && length == TRAFFIC_MESSAGE_SIZE) {
    DecodeTraffic(state.ground, datagram);
    Arrived(state.ground.from, seq, at);
  }
}
