#pragma once
// The simulator's airborne and ground traffic tables, converted into the
// payloads of the two traffic messages (up to 20 aircraft each).

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "process/resource.h"

// A slot of the simulator's tables, as read.
namespace TrafficSlotField {
inline constexpr size_t ObjectId = 0;    // u32; 0 empty, 1 skipped too
inline constexpr size_t Latitude = 4;    // f32
inline constexpr size_t Longitude = 8;   // f32
inline constexpr size_t Altitude = 12;   // f32
inline constexpr size_t Heading = 16;    // u16, 65536 = full circle
inline constexpr size_t GroundSpeed = 18;  // u16
inline constexpr size_t Ident = 22;      // zero-terminated text to the slot's end
}  // namespace TrafficSlotField
inline constexpr size_t TRAFFIC_SLOT_SIZE = 40;
inline constexpr size_t TRAFFIC_SLOTS = 96;
inline constexpr size_t TRAFFIC_TABLE_SIZE = TRAFFIC_SLOT_SIZE * TRAFFIC_SLOTS;
static_assert(TRAFFIC_TABLE_SIZE == 3840);
inline constexpr uint32_t AIR_TRAFFIC_OFFSET = 0xF080;
inline constexpr uint32_t GROUND_TRAFFIC_OFFSET = 0xE080;

// A record of the traffic messages, little-endian.
namespace TrafficRecordField {
inline constexpr size_t Latitude = 0;     // f64
inline constexpr size_t Longitude = 8;    // f64
inline constexpr size_t Altitude = 16;    // f64
inline constexpr size_t Heading = 24;     // f64, degrees
inline constexpr size_t GroundSpeed = 32;  // f64
inline constexpr size_t ObjID = 40;       // u32; 0: no aircraft
inline constexpr size_t Ident = 44;       // 8 characters and a terminator
inline constexpr size_t IDENT_CAPACITY = 9;
}  // namespace TrafficRecordField
inline constexpr size_t TRAFFIC_RECORD_SIZE = 56;
static_assert(TrafficRecordField::Ident + TrafficRecordField::IDENT_CAPACITY + 3 == TRAFFIC_RECORD_SIZE);
inline constexpr size_t TRAFFIC_RECORDS = 20;
inline constexpr size_t TRAFFIC_MESSAGE_SIZE = 40 + TRAFFIC_RECORDS * TRAFFIC_RECORD_SIZE;
static_assert(TRAFFIC_MESSAGE_SIZE == 1160);

struct TrafficRecord {
  double Latitude = 0;
  double Longitude = 0;
  double Altitude = 0;
  double Heading = 0;
  double GroundSpeed = 0;
  uint32_t ObjID = 0;
  char Ident[TrafficRecordField::IDENT_CAPACITY] = {};
};
using TrafficStaging = std::array<TrafficRecord, TRAFFIC_RECORDS>;
using TrafficTable = std::array<uint8_t, TRAFFIC_TABLE_SIZE>;
using TrafficMessage = std::array<uint8_t, TRAFFIC_MESSAGE_SIZE>;

// The two messages; their record areas are the payloads the transfers
// fill under TrafficMutex, their headers the senders'.
extern TrafficMessage AirTrafficMessage;
extern TrafficMessage GndTrafficMessage;
extern ResourceHandle TrafficMutex;
extern std::atomic<bool> groundTrafficReady;
// Passes with the link up since the last ground transfer (traffic thread only).
extern int32_t GroundTrafficCounter;

extern TrafficTable AirTrafficTable;
extern TrafficTable GndTrafficTable;
extern TrafficStaging AirStaging;
extern TrafficStaging GndStaging;

// Start-up: registers the lock; the staging records start empty.
void InitTraffic();

// The thread body: a pass every 990 ms after a first wait of 5 s.
[[noreturn]] void TrafficLoop();
// One pass of the loop.
void TrafficPass();

bool ReadAirTraffic();
bool ReadGndTraffic();
// The first 20 occupied slots in table order; later records stay as they are.
void ConvertTraffic(TrafficStaging& staging, const TrafficTable& table);
void TransferAirTraffic();
void TransferGndTraffic();

// Encodes a record into its 56 bytes.
void EncodeTrafficRecord(const TrafficRecord& record, uint8_t* destination);
