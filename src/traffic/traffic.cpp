#include "traffic/traffic.h"

#include <cstring>

#include "platform/platform.h"
#include "simlink/sim_connection.h"
#include "traffic/traffic_state.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

TrafficMessage AirTrafficMessage{};
TrafficMessage GndTrafficMessage{};
ResourceHandle TrafficMutex = nullptr;
std::atomic<bool> groundTrafficReady{false};

TrafficTable AirTrafficTable{};
TrafficTable GndTrafficTable{};
TrafficStaging AirStaging{};
TrafficStaging GndStaging{};

int32_t GroundTrafficCounter = 0;

namespace {

void ClearObjectIds(TrafficStaging& staging) {
  for (TrafficRecord& record : staging) record.ObjID = 0;
}

void Transfer(TrafficStaging& staging, TrafficMessage& message, const char* caller) {
  // A wait that runs out is reported; the copy is made all the same.
  bool held = GetResource(TrafficMutex, caller);
  for (size_t i = 0; i < TRAFFIC_RECORDS; ++i) {
    EncodeTrafficRecord(staging[i], message.data() + MSG_BLOCK_DATA_OFFSET + i * TRAFFIC_RECORD_SIZE);
  }
  if (held) ReleaseResource(TrafficMutex, caller);
  ClearObjectIds(staging);
}

}  // namespace

void EncodeTrafficRecord(const TrafficRecord& record, uint8_t* destination) {
  PutF64(destination + TrafficRecordField::Latitude, record.Latitude);
  PutF64(destination + TrafficRecordField::Longitude, record.Longitude);
  PutF64(destination + TrafficRecordField::Altitude, record.Altitude);
  PutF64(destination + TrafficRecordField::Heading, record.Heading);
  PutF64(destination + TrafficRecordField::GroundSpeed, record.GroundSpeed);
  PutU32(destination + TrafficRecordField::ObjID, record.ObjID);
  std::memcpy(destination + TrafficRecordField::Ident, record.Ident, TrafficRecordField::IDENT_CAPACITY);
  std::memset(destination + TrafficRecordField::Ident + TrafficRecordField::IDENT_CAPACITY, 0, 3);
}

void InitTraffic() {
  TrafficMutex = RegisterResource("TrafficMutex");
  ClearObjectIds(AirStaging);
  ClearObjectIds(GndStaging);
}

bool ReadAirTraffic() { return FSUIPCRead(AIR_TRAFFIC_OFFSET, TRAFFIC_TABLE_SIZE, AirTrafficTable.data()) == 1; }
bool ReadGndTraffic() { return FSUIPCRead(GROUND_TRAFFIC_OFFSET, TRAFFIC_TABLE_SIZE, GndTrafficTable.data()) == 1; }

void ConvertTraffic(TrafficStaging& staging, const TrafficTable& table) {
  size_t n = 0;
  for (size_t slot = 0; slot < TRAFFIC_SLOTS && n < TRAFFIC_RECORDS; ++slot) {
    const uint8_t* s = table.data() + slot * TRAFFIC_SLOT_SIZE;
    uint32_t id = GetU32(s + TrafficSlotField::ObjectId);
    if (id == 0 || id == 1) continue;
    TrafficRecord& record = staging[n++];
    record.Latitude = GetF32(s + TrafficSlotField::Latitude);
    record.Longitude = GetF32(s + TrafficSlotField::Longitude);
    record.Altitude = GetF32(s + TrafficSlotField::Altitude);
    record.Heading = GetU16(s + TrafficSlotField::Heading) / 65536.0 * 360.0;
    record.GroundSpeed = GetU16(s + TrafficSlotField::GroundSpeed);
    record.ObjID = id;
    // The identifier ends at its terminator or at the slot's end.
    const char* ident = reinterpret_cast<const char*>(s + TrafficSlotField::Ident);
    size_t length = strnlen(ident, TRAFFIC_SLOT_SIZE - TrafficSlotField::Ident);
    if (length > TrafficRecordField::IDENT_CAPACITY - 1) length = TrafficRecordField::IDENT_CAPACITY - 1;
    std::memset(record.Ident, 0, sizeof record.Ident);
    std::memcpy(record.Ident, ident, length);
  }
}

void TransferAirTraffic() { Transfer(AirStaging, AirTrafficMessage, "TransferAirTraffic()"); }

void TransferGndTraffic() {
  Transfer(GndStaging, GndTrafficMessage, "TransferGndTraffic()");
  groundTrafficReady = true;
}

void TrafficPass() {
  if (!SimConnected) return;
  if (ReadAirTraffic()) {
    ConvertTraffic(AirStaging, AirTrafficTable);
    TransferAirTraffic();
  } else {
    SimNotResponding();
  }
  ++GroundTrafficCounter;
  if (groundTrafficGate == 0 && GroundTrafficCounter >= 5 && ReadGndTraffic()) {
    GroundTrafficCounter = 0;
    ConvertTraffic(GndStaging, GndTrafficTable);
    TransferGndTraffic();
  }
}

[[noreturn]] void TrafficLoop() {
  platform::SleepMs(5000);
  for (;;) {
    TrafficPass();
    platform::SleepMs(990);
  }
}
