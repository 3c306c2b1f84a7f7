#include "flight_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "wire/bytes.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double TWO_32 = 4294967296.0;

struct Aircraft {
  double latitude;   // degrees
  double longitude;  // degrees
  double altitudeFeet;
  double headingDegrees;
  double speedKnots;
  double turnDegreesPerSecond;
};

Aircraft own{47.45, -122.31, 3000.0, 160.0, 250.0, 1.0};
double verticalFeetPerMinute = 0.0;
double flapsFraction = 0.0;
double elapsed = 0.0;

struct Traffic {
  uint32_t id;
  const char* ident;
  Aircraft state;
};

Traffic airborne[] = {
    {2101, "N123AB", {47.50, -122.20, 4500.0, 90.0, 180.0, 0.5}},
    {2102, "ASA241", {47.30, -122.40, 9000.0, 200.0, 280.0, 0.0}},
    {2103, "UAL1492", {47.60, -122.00, 12000.0, 270.0, 320.0, 0.2}},
    {2104, "SWA3311", {47.20, -122.60, 7000.0, 10.0, 250.0, -0.3}},
    {2105, "N77JB", {47.40, -122.10, 2500.0, 330.0, 120.0, 1.5}},
};
Traffic ground[] = {
    {3101, "DAL88", {47.443, -122.301, 430.0, 180.0, 15.0, 0.0}},
    {3102, "N456CD", {47.447, -122.307, 430.0, 0.0, 8.0, 3.0}},
    {3103, "FDX1021", {47.439, -122.309, 430.0, 90.0, 0.0, 0.0}},
};

constexpr uint32_t AIR_TABLE = 0xF080;
constexpr uint32_t GROUND_TABLE = 0xE080;
constexpr uint32_t SLOT_SIZE = 40;

void Put8(OffsetSpace& space, uint32_t offset, int64_t value) {
  uint8_t bytes[8];
  PutU64(bytes, static_cast<uint64_t>(value));
  space.Write(offset, bytes, 8);
}
void Put4(OffsetSpace& space, uint32_t offset, uint32_t value) {
  uint8_t bytes[4];
  PutU32(bytes, value);
  space.Write(offset, bytes, 4);
}
void Put2(OffsetSpace& space, uint32_t offset, uint16_t value) {
  uint8_t bytes[2];
  PutU16(bytes, value);
  space.Write(offset, bytes, 2);
}
void PutDouble(OffsetSpace& space, uint32_t offset, double value) {
  uint8_t bytes[8];
  PutF64(bytes, value);
  space.Write(offset, bytes, 8);
}
void PutText(OffsetSpace& space, uint32_t offset, const std::string& text, uint32_t capacity) {
  std::string field = text.substr(0, capacity - 1);
  field.resize(capacity, '\0');
  space.Write(offset, field.data(), capacity);
}

void Move(Aircraft& a, double seconds) {
  a.headingDegrees = std::fmod(a.headingDegrees + a.turnDegreesPerSecond * seconds + 360.0, 360.0);
  double nm = a.speedKnots * seconds / 3600.0;
  double radians = a.headingDegrees * PI / 180.0;
  a.latitude += nm * std::cos(radians) / 60.0;
  a.longitude += nm * std::sin(radians) / (60.0 * std::cos(a.latitude * PI / 180.0));
}

uint32_t Get4(OffsetSpace& space, uint32_t offset) {
  uint8_t bytes[4];
  space.Read(offset, bytes, 4);
  return GetU32(bytes);
}
uint16_t Get2(OffsetSpace& space, uint32_t offset) {
  uint8_t bytes[2];
  space.Read(offset, bytes, 2);
  return GetU16(bytes);
}

// With the autopilot's master on, the aircraft turns to its heading (at most
// 2 degrees a second) and climbs or descends to its altitude at 1000 ft a
// minute; with it off, it circles at a degree a second, level.
void Steer(OffsetSpace& space, double seconds) {
  if (Get4(space, 0x07BC) == 0) {
    own.turnDegreesPerSecond = 1.0;
    verticalFeetPerMinute = 0.0;
    return;
  }
  double wanted = Get2(space, 0x07CC) * 360.0 / 65536.0;
  double error = std::fmod(wanted - own.headingDegrees + 540.0, 360.0) - 180.0;
  own.turnDegreesPerSecond = std::clamp(error, -2.0, 2.0);
  double target = static_cast<int32_t>(Get4(space, 0x07D4)) / 65536.0 / 0.3048;
  double climb = std::clamp((target - own.altitudeFeet) * 60.0, -1000.0, 1000.0);
  verticalFeetPerMinute = seconds > 0 ? climb : 0.0;
  own.altitudeFeet += verticalFeetPerMinute / 60.0 * seconds;
}

// A swap pressed at 0x3123 (8 COM1, 4 COM2, 2 NAV1, 1 NAV2) exchanges the
// radio's active and standby frequencies, as the simulator does.
void SwapRadios(OffsetSpace& space) {
  uint8_t pressed = 0;
  space.Read(0x3123, &pressed, 1);
  if (pressed == 0) return;
  constexpr struct { uint8_t bit; uint32_t active; uint32_t standby; } RADIOS[] = {
      {8, 0x034E, 0x311A}, {4, 0x3118, 0x311C}, {2, 0x0350, 0x311E}, {1, 0x0352, 0x3120}};
  for (const auto& radio : RADIOS) {
    if ((pressed & radio.bit) == 0) continue;
    uint16_t active = Get2(space, radio.active);
    Put2(space, radio.active, Get2(space, radio.standby));
    Put2(space, radio.standby, active);
  }
  const uint8_t none = 0;
  space.Write(0x3123, &none, 1);
}

void WriteSlot(OffsetSpace& space, uint32_t table, uint32_t index, const Traffic& t) {
  uint8_t slot[SLOT_SIZE] = {};
  PutU32(slot, t.id);
  PutF32(slot + 4, static_cast<float>(t.state.latitude));
  PutF32(slot + 8, static_cast<float>(t.state.longitude));
  PutF32(slot + 12, static_cast<float>(t.state.altitudeFeet));
  PutU16(slot + 16, static_cast<uint16_t>(t.state.headingDegrees / 360.0 * 65536.0));
  PutU16(slot + 18, static_cast<uint16_t>(t.state.speedKnots));
  std::strncpy(reinterpret_cast<char*>(slot + 22), t.ident, SLOT_SIZE - 23);
  space.Write(table + index * SLOT_SIZE, slot, SLOT_SIZE);
}

void WriteOwnAircraft(OffsetSpace& space) {
  Put8(space, 0x0560, static_cast<int64_t>(own.latitude * 10001750.0 * TWO_32 / 90.0));
  Put8(space, 0x0568, static_cast<int64_t>(own.longitude / 360.0 * TWO_32 * TWO_32));
  Put8(space, 0x0570, static_cast<int64_t>(own.altitudeFeet * 0.3048 * TWO_32));
  Put4(space, 0x0578, static_cast<uint32_t>(static_cast<int32_t>(std::sin(elapsed / 20.0) * 2.0 / 360.0 * TWO_32)));
  Put4(space, 0x057C, static_cast<uint32_t>(static_cast<int32_t>(-own.turnDegreesPerSecond * 8.0 / 360.0 * TWO_32)));
  Put4(space, 0x0580, static_cast<uint32_t>(own.headingDegrees / 360.0 * TWO_32));
  PutDouble(space, 0x6010, own.latitude);
  PutDouble(space, 0x6018, own.longitude);
  PutDouble(space, 0x2B00, own.headingDegrees);
  Put4(space, 0x3324, static_cast<uint32_t>(static_cast<int32_t>(std::lround(own.altitudeFeet))));
  Put4(space, 0x02BC, static_cast<uint32_t>(own.speedKnots * 128.0));
  Put4(space, 0x02B8, static_cast<uint32_t>(own.speedKnots * 1.05 * 128.0));
  Put4(space, 0x02B4, static_cast<uint32_t>(own.speedKnots * 0.514444 * 65536.0));
  Put4(space, 0x02C8, static_cast<uint32_t>(static_cast<int32_t>(verticalFeetPerMinute * 0.3048 / 60.0 * 256.0)));
  // Flaps run out and back over two minutes.
  flapsFraction = 0.5 - 0.5 * std::cos(elapsed * 2.0 * PI / 120.0);
  uint32_t flaps = static_cast<uint32_t>(flapsFraction * 16383.0);
  Put4(space, 0x0BDC, flaps);
  Put4(space, 0x0BE0, flaps);
  Put4(space, 0x0BE4, flaps);
  Put4(space, 0x0BFC, static_cast<uint32_t>(flapsFraction * 5.0 + 0.5));
  // Engine values that the first block carries as doubles.
  double n1 = 85.0 + 5.0 * std::sin(elapsed / 30.0);
  PutDouble(space, 0x2010, n1);
  PutDouble(space, 0x2110, n1 + 0.4);
  PutDouble(space, 0x2400, 1200.0 + 50.0 * std::sin(elapsed / 40.0));
  PutDouble(space, 0x2500, 1200.0 + 50.0 * std::cos(elapsed / 40.0));
  PutDouble(space, 0x0918, 2600.0 + 150.0 * std::sin(elapsed / 30.0));  // fuel flow, pounds per hour
  PutDouble(space, 0x09B0, 2620.0 + 150.0 * std::sin(elapsed / 30.0));
  // Fuel: the level times the capacity that the block computes.
  Put4(space, 0x0B74, 8388608);
  Put4(space, 0x0B78, static_cast<uint32_t>(6000 - static_cast<int>(elapsed / 10.0)));
}

}  // namespace

void InitialiseOffsets(OffsetSpace& space, const std::string& flightPlanPath) {
  ReportCurrentVersions(space);
  PutText(space, 0x3500, "ZemSim Stub Jet", 24);
  PutText(space, 0x0130, flightPlanPath, 256);
  Put2(space, 0x3BF8, 5);           // flap positions
  Put2(space, 0x0350, 0x1095);      // NAV1 110.95
  Put2(space, 0x0352, 0x1130);      // NAV2 111.30
  Put2(space, 0x034E, 0x2345);      // COM1 123.45
  Put2(space, 0x3118, 0x2190);      // COM2 121.90
  Put2(space, 0x311A, 0x1800);      // standby: COM1 118.00, COM2 132.55, NAV1 113.70, NAV2 109.40
  Put2(space, 0x311C, 0x3255);
  Put2(space, 0x311E, 0x1370);
  Put2(space, 0x3120, 0x0940);
  Put2(space, 0x0AEC, 2);           // engines
  Put2(space, 0x034C, 0x0344);      // ADF1 344.5
  Put2(space, 0x0356, 0x0005);
  Put2(space, 0x02D4, 0x0234);      // ADF2 1234.5
  Put2(space, 0x02D6, 0x0105);
  Put2(space, 0x0C4E, 160);         // course 1
  Put2(space, 0x0C5E, 340);         // course 2
  Put4(space, 0x07D4, static_cast<uint32_t>(5000 * 0.3048 * 65536.0));  // autopilot altitude
  Put2(space, 0x07CC, static_cast<uint16_t>(160 * 65536.0 / 360.0));    // autopilot heading
  Put2(space, 0x07E2, 250);                                             // autopilot speed
  Put4(space, 0x0B7C, 8388608);
  Put4(space, 0x0B80, 4000);
  Put4(space, 0x0B94, 8388608);
  Put4(space, 0x0B98, 3000);
  for (uint32_t i = 0; i < std::size(airborne); ++i) WriteSlot(space, AIR_TABLE, i, airborne[i]);
  for (uint32_t i = 0; i < std::size(ground); ++i) WriteSlot(space, GROUND_TABLE, i, ground[i]);
  WriteOwnAircraft(space);
}

void AdvanceFlight(OffsetSpace& space, double seconds) {
  elapsed += seconds;
  SwapRadios(space);
  Steer(space, seconds);
  Move(own, seconds);
  WriteOwnAircraft(space);
  for (uint32_t i = 0; i < std::size(airborne); ++i) {
    Move(airborne[i].state, seconds);
    WriteSlot(space, AIR_TABLE, i, airborne[i]);
  }
  for (uint32_t i = 0; i < std::size(ground); ++i) {
    Move(ground[i].state, seconds);
    WriteSlot(space, GROUND_TABLE, i, ground[i]);
  }
}
