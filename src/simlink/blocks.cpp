#include "simlink/blocks.h"

#include <atomic>
#include <cstring>

#include "ipc/batch.h"
#include "ipc/link.h"
#include "platform/platform.h"
#include "process/exit_codes.h"
#include "process/settings.h"
#include "simlink/hot_keys.h"
#include "simlink/sim_connection.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

std::array<uint8_t, BLOCK_1_SIZE> Block1{};
std::array<uint8_t, BLOCK_2_SIZE> Block2{};
std::array<uint8_t, BLOCK_3_SIZE> Block3{};
std::array<char, FLIGHT_PLAN_PATH_SIZE> FlightPlanPath{};

namespace {

using F = FieldForm;

constexpr BlockField BLOCK_1_FIELDS[] = {
    {40, 8, 0x3B70, "x3B70", F::Double},
    {48, 8, 0x3AB0, "x3AB0", F::Double},
    {56, 8, 0x39F0, "x39F0", F::Double},
    {64, 8, 0x3930, "x3930", F::Double},
    {72, 8, 0x2010, "eng1_n1", F::Double},
    {80, 8, 0x2110, "eng2_n1", F::Double},
    {88, 8, 0x2210, "eng3_n1", F::Double},
    {96, 8, 0x2310, "eng4_n1", F::Double},
    {104, 8, 0x3B60, "x3B60", F::Double},
    {112, 8, 0x3AA0, "x3AA0", F::Double},
    {120, 8, 0x39E0, "x39E0", F::Double},
    {128, 8, 0x3920, "x3920", F::Double},
    {136, 8, 0x3B58, "x3B58", F::Double},
    {144, 8, 0x3A98, "x3A98", F::Double},
    {152, 8, 0x39D8, "x39D8", F::Double},
    {160, 8, 0x3918, "x3918", F::Double},
    {168, 8, 0x0918, "eng1_fuel_flow", F::Double},
    {176, 8, 0x09B0, "eng2_fuel_flow", F::Double},
    {184, 8, 0x0A48, "eng3_fuel_flow", F::Double},
    {192, 8, 0x0AE0, "eng4_fuel_flow", F::Double},
    {224, 8, 0x08E8, "eng1_cht", F::Double},
    {232, 8, 0x0980, "eng2_cht", F::Double},
    {240, 8, 0x0A18, "eng3_cht", F::Double},
    {248, 8, 0x0AB0, "eng4_cht", F::Double},
    {256, 8, 0x2400, "eng1_rpm", F::Double},
    {264, 8, 0x2500, "eng2_rpm", F::Double},
    {272, 8, 0x2600, "eng3_rpm", F::Double},
    {280, 8, 0x2700, "eng4_rpm", F::Double},
    {288, 4, 0x0320, "x0320", F::Signed},
    {292, 4, 0x08D0, "x08D0", F::Signed},
    {296, 4, 0x0968, "x0968", F::Signed},
    {300, 4, 0x0A00, "x0A00", F::Signed},
    {304, 4, 0x0A98, "x0A98", F::Signed},
    {308, 4, 0x08D4, "x08D4", F::Signed},
    {312, 4, 0x096C, "x096C", F::Signed},
    {316, 4, 0x0A04, "x0A04", F::Signed},
    {320, 4, 0x0A9C, "x0A9C", F::Signed},
    {324, 4, 0x0318, "x0318", F::Signed},
    {328, 4, 0x281C, "battery_master", F::Signed},
    {332, 4, 0x34E8, "x34E8", F::Signed},
    {336, 4, 0x3B00, "x3B00", F::Signed},
    {340, 4, 0x3A40, "x3A40", F::Signed},
    {344, 2, 0x0AEC, "engine_count", F::Signed},
    {346, 2, 0x11D0, "x11D0", F::Signed},
    {348, 2, 0x0896, "x0896", F::Signed},
    {350, 2, 0x092E, "x092E", F::Signed},
    {352, 2, 0x09C6, "x09C6", F::Signed},
    {354, 2, 0x0A5E, "x0A5E", F::Signed},
    {356, 1, 0x0609, "engine_type", F::Unsigned},
};

constexpr ComputedField BLOCK_1_COMPUTED[] = {
    {200, 0x0B80, 0x0B7C, "fuel_left"},
    {208, 0x0B98, 0x0B94, "fuel_right"},
    {216, 0x0B78, 0x0B74, "fuel_centre"},
};

constexpr BlockField BLOCK_2_FIELDS[] = {
    {40, 8, 0x3AE8, "x3AE8", F::Double},
    {48, 8, 0x3488, "x3488", F::Double},
    {56, 8, 0x3490, "x3490", F::Double},
    {64, 8, 0x2ED0, "x2ED0", F::Double},
    {72, 8, 0x6028, "x6028", F::Double},
    {80, 4, 0x085C, "x085C", F::Signed},
    {84, 4, 0x0864, "x0864", F::Signed},
    {88, 4, 0x0858, "x0858", F::Signed},
    {92, 4, 0x0860, "x0860", F::Signed},
    {96, 4, 0x0BE0, "flap_extension", F::Signed},
    {100, 4, 0x0BFC, "flap_position", F::Signed},
    {104, 4, 0x0BE8, "gear_lever", F::Signed},
    {108, 4, 0x0800, "ap_back_course_hold", F::Signed},
    {112, 2, 0x3BF8, "flap_positions", F::Unsigned},
    {116, 4, 0x2E80, "avionics_master", F::Signed},
    {120, 2, 0x0350, "nav1", F::Bcd},
    {122, 2, 0x0352, "nav2", F::Bcd},
    {124, 2, 0x311E, "nav1_standby", F::Bcd},
    {126, 2, 0x3120, "nav2_standby", F::Bcd},
    {128, 2, 0x0C4E, "nav1_course", F::Unsigned},
    {130, 2, 0x0C5E, "nav2_course", F::Unsigned},
    {132, 2, 0x034E, "com1", F::Bcd},
    {134, 2, 0x3118, "com2", F::Bcd},
    {136, 2, 0x311A, "com1_standby", F::Bcd},
    {138, 2, 0x311C, "com2_standby", F::Bcd},
    {140, 2, 0x0C50, "x0C50", F::Signed},
    {142, 2, 0x0C60, "x0C60", F::Signed},
    {144, 2, 0x023B, "utc_hour_minute", F::Bytes},
    {148, 10, 0x7800, "heartbeat", F::Bytes},
    {158, 6, 0x3000, "nav1_ident", F::Text},
    {164, 6, 0x301F, "nav2_ident", F::Text},
    {170, 1, 0x0C4B, "x0C4B", F::Unsigned},
    {171, 1, 0x0C5B, "x0C5B", F::Unsigned},
};

constexpr BlockField BLOCK_3_FIELDS[] = {
    {40, 8, 0x6010, "gps_latitude", F::Double},
    {48, 8, 0x6018, "gps_longitude", F::Double},
    {56, 8, 0x2EE8, "fd_pitch", F::Double},
    {64, 8, 0x2EF0, "fd_bank", F::Double},
    {72, 8, 0x3428, "x3428", F::Double},
    {80, 8, 0x2ED8, "x2ED8", F::Double},
    {88, 2, 0x0870, "x0870", F::Signed},
    {90, 2, 0x0844, "x0844", F::Signed},
    {104, 8, 0x2B00, "gyro_heading", F::Double},
    {112, 4, 0x2AAC, "x2AAC", F::Signed},
    {116, 4, 0x2AB4, "x2AB4", F::Signed},
    {120, 4, 0x2AB0, "x2AB0", F::Signed},
    {124, 4, 0x2AB8, "x2AB8", F::Signed},
    {128, 4, 0x02BC, "ias", F::Signed},
    {132, 4, 0x0020, "ground_elevation", F::Signed},
    {136, 4, 0x0C52, "x0C52", F::Signed},
    {140, 4, 0x0C62, "x0C62", F::Signed},
    {144, 4, 0x3324, "altimeter", F::Signed},
    {148, 4, 0x057C, "bank", F::Signed},
    {152, 4, 0x02C8, "vertical_speed", F::Signed},
    {156, 4, 0x07D4, "ap_altitude", F::Signed},
    {160, 4, 0x31E4, "radio_altitude", F::Signed},
    {164, 4, 0x0578, "pitch", F::Signed},
    {168, 4, 0x2EE0, "fd_on", F::Signed},
    {172, 4, 0x07BC, "ap_master", F::Signed},
    {176, 4, 0x02B8, "tas", F::Signed},
    {180, 4, 0x02B4, "ground_speed", F::Signed},
    {192, 4, 0x0BDC, "flap_lever", F::Signed},
    {196, 4, 0x07C8, "ap_heading_hold", F::Signed},
    {200, 4, 0x0810, "autothrottle_arm", F::Signed},
    {204, 4, 0x07DC, "ap_airspeed_hold", F::Signed},
    {212, 4, 0x0BF0, "main_gear", F::Signed},
    {216, 4, 0x07D0, "ap_altitude_hold", F::Signed},
    {220, 4, 0x07C4, "ap_nav1_hold", F::Signed},
    {232, 1, 0x0C4D, "x0C4D", F::Unsigned},
    {236, 1, 0x0C70, "x0C70", F::Unsigned},
    {250, 2, 0x0E8C, "outside_temperature", F::Signed},
    {252, 2, 0x07E2, "ap_airspeed", F::Signed},
    {254, 2, 0x07F2, "ap_vertical_speed", F::Signed},
    {256, 2, 0x07CC, "ap_heading", F::Unsigned},
    {258, 2, 0x0300, "x0300", F::Signed},
    {260, 2, 0x0306, "x0306", F::Signed},
    {262, 2, 0x0BC4, "x0BC4", F::Signed},
    {264, 2, 0x0330, "altimeter_setting", F::Unsigned},
    {266, 2, 0x034C, "adf1_main", F::Bcd},
    {268, 2, 0x0356, "adf1_extension", F::Bcd},
    {270, 2, 0x02D4, "adf2_main", F::Bcd},
    {272, 2, 0x02D6, "adf2_extension", F::Bcd},
    {274, 2, 0x3300, "x3300", F::Signed},
    {277, 1, 0x0C4C, "x0C4C", F::Unsigned},
    {278, 1, 0x0C6F, "x0C6F", F::Unsigned},
};

constexpr BlockField REMOTE_DATA_FIELDS[] = {
    {0, 4, 0x0580, "true_heading", F::Unsigned},
    {4, 4, 0x0578, "pitch", F::Signed},
    {8, 4, 0x057C, "bank", F::Signed},
    {12, 8, 0x0570, "altitude", F::Signed},
    {20, 8, 0x0560, "latitude", F::Signed},
    {28, 8, 0x0568, "longitude", F::Signed},
};

// Every field lies in the block's data and no two overlap.
template <size_t N>
constexpr bool LayoutIsSound(const BlockField (&fields)[N], size_t blockSize, size_t dataStart) {
  for (size_t i = 0; i < N; ++i) {
    if (fields[i].blockOffset < dataStart || fields[i].blockOffset + fields[i].width > blockSize) return false;
    for (size_t j = i + 1; j < N; ++j) {
      bool apart = fields[i].blockOffset + fields[i].width <= fields[j].blockOffset ||
                   fields[j].blockOffset + fields[j].width <= fields[i].blockOffset;
      if (!apart) return false;
    }
  }
  return true;
}
constexpr bool SameName(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}
// Every field has a name, and no two fields of a layout share one.
template <size_t N>
constexpr bool NamesAreDistinct(const BlockField (&fields)[N]) {
  for (size_t i = 0; i < N; ++i) {
    if (fields[i].name == nullptr || fields[i].name[0] == '\0') return false;
    for (size_t j = i + 1; j < N; ++j) {
      if (SameName(fields[i].name, fields[j].name)) return false;
    }
  }
  return true;
}
static_assert(NamesAreDistinct(BLOCK_1_FIELDS) && NamesAreDistinct(BLOCK_2_FIELDS) && NamesAreDistinct(BLOCK_3_FIELDS) &&
              NamesAreDistinct(REMOTE_DATA_FIELDS));
static_assert(LayoutIsSound(BLOCK_1_FIELDS, BLOCK_1_SIZE, MSG_BLOCK_DATA_OFFSET));
static_assert(LayoutIsSound(BLOCK_2_FIELDS, BLOCK_2_SIZE, MSG_BLOCK_DATA_OFFSET));
static_assert(LayoutIsSound(BLOCK_3_FIELDS, BLOCK_3_SIZE, MSG_BLOCK_DATA_OFFSET));
static_assert(LayoutIsSound(REMOTE_DATA_FIELDS, REMOTE_DATA_SIZE, 0));

constexpr uint32_t MODEL_NAME_OFFSET = 0x3500;
constexpr uint32_t MODEL_NAME_SIZE = 24;
constexpr uint32_t FLIGHT_PLAN_PATH_OFFSET = 0x0130;
constexpr uint32_t CHANGE_COUNTER_A = 0x32FC;
constexpr uint32_t CHANGE_COUNTER_B = 0x3F02;

// Where each starting value lives: the block and the field's place in it.
struct StartFieldPlace {
  StartField field;
  uint32_t blockNumber;
  uint16_t blockOffset;
  uint16_t width;
};
constexpr StartFieldPlace START_FIELDS[] = {
    {StartField::Nav1, 20, Block2Field::Nav1, 2},
    {StartField::Nav2, 20, Block2Field::Nav2, 2},
    {StartField::Course1, 20, Block2Field::Course1, 2},
    {StartField::Course2, 20, Block2Field::Course2, 2},
    {StartField::Com1, 20, Block2Field::Com1, 2},
    {StartField::Com2, 20, Block2Field::Com2, 2},
    {StartField::Altitude, 30, Block3Field::Altitude, 4},
    {StartField::Speed, 30, Block3Field::Speed, 2},
    {StartField::Heading, 30, Block3Field::Heading, 2},
    {StartField::Adf1Main, 30, Block3Field::Adf1Main, 2},
    {StartField::Adf1Extension, 30, Block3Field::Adf1Extension, 2},
    {StartField::Adf2Main, 30, Block3Field::Adf2Main, 2},
    {StartField::Adf2Extension, 30, Block3Field::Adf2Extension, 2},
};
static_assert(std::size(START_FIELDS) == static_cast<size_t>(StartField::Count));
constexpr bool StartFieldsInOrder() {
  for (size_t i = 0; i < std::size(START_FIELDS); ++i) {
    if (static_cast<size_t>(START_FIELDS[i].field) != i) return false;
  }
  return true;
}
static_assert(StartFieldsInOrder());

std::array<std::atomic<uint32_t>, static_cast<size_t>(StartField::Count)> startingValues{};

// Last values of the two counted simulator words, kept between Block 2 reads.
uint16_t lastChangeA = 0;
uint16_t lastChangeB = 0;

template <size_t N, size_t M>
bool QueueFields(IpcBatch& batch, const BlockField (&fields)[N], std::array<uint8_t, M>& block) {
  for (const BlockField& field : fields) {
    if (!batch.Read(field.simOffset, field.width, block.data() + field.blockOffset)) return false;
  }
  return true;
}

// Gathers the block's fields and the extra reads in one batch, has it
// carried in one list and finishes the block; every result but Fresh leaves
// the block as it was.
template <typename Queue, typename Finish>
BlockRead::Result ReadBatch(const char* caller, Queue&& queue, Finish&& finish) {
  thread_local IpcBatch batch;
  batch.Clear();
  if (!queue(batch)) return BlockRead::NotQueued;
  if (!ExchangeBatch(batch, caller)) return BlockRead::ExchangeFailed;
  finish();
  return BlockRead::Fresh;
}

void CountChange(uint16_t value, uint16_t& last) {
  if (value == last) return;
  last = value;
  PutU32(Block3.data() + Block3Field::FsChangeCount, GetU32(Block3.data() + Block3Field::FsChangeCount) + 1);
}

}  // namespace

uint32_t StartingValue(StartField field) { return startingValues[static_cast<size_t>(field)].load(); }

void PublishStartingValues(uint32_t blockNumber) {
  const uint8_t* block = blockNumber == 20 ? Block2.data() : Block3.data();
  for (const StartFieldPlace& place : START_FIELDS) {
    if (place.blockNumber != blockNumber) continue;
    const uint8_t* at = block + place.blockOffset;
    startingValues[static_cast<size_t>(place.field)] = place.width == 4 ? GetU32(at) : GetU16(at);
  }
}

BlockLayout Block1Layout() { return {BLOCK_1_FIELDS, std::size(BLOCK_1_FIELDS)}; }
BlockLayout Block2Layout() { return {BLOCK_2_FIELDS, std::size(BLOCK_2_FIELDS)}; }
BlockLayout Block3Layout() { return {BLOCK_3_FIELDS, std::size(BLOCK_3_FIELDS)}; }
BlockLayout RemoteDataLayout() { return {REMOTE_DATA_FIELDS, std::size(REMOTE_DATA_FIELDS)}; }
size_t FieldAt(const BlockLayout& layout, uint16_t simOffset) {
  for (size_t i = 0; i < layout.count; ++i) {
    if (layout.fields[i].simOffset == simOffset) return layout.fields[i].blockOffset;
  }
  return 0;
}

ComputedLayout Block1Computed() { return {BLOCK_1_COMPUTED, std::size(BLOCK_1_COMPUTED)}; }

void ResetBlocks() {
  std::memcpy(Block2.data() + Block2Field::ModelName, "EMPTY", 6);
  PutU32(Block3.data() + Block3Field::FsChangeCount, 0);
  PutU32(Block3.data() + Block3Field::Reserved244, 0);
}

BlockRead::Result FSUIPCReadBlock10() {
  if (!SimConnected) return BlockRead::LinkDown;
  uint8_t computed[std::size(BLOCK_1_COMPUTED)][2][4] = {};
  return ReadBatch(
      "FSUIPCReadBlock10()",
      [&](IpcBatch& batch) {
        for (size_t i = 0; i < std::size(BLOCK_1_COMPUTED); ++i) {
          if (!batch.Read(BLOCK_1_COMPUTED[i].valueOffset, 4, computed[i][0]) ||
              !batch.Read(BLOCK_1_COMPUTED[i].scaleOffset, 4, computed[i][1])) {
            return false;
          }
        }
        return QueueFields(batch, BLOCK_1_FIELDS, Block1);
      },
      [&] {
        for (size_t i = 0; i < std::size(BLOCK_1_COMPUTED); ++i) {
          double value = GetI32(computed[i][0]);
          double scale = GetI32(computed[i][1]);
          PutF64(Block1.data() + BLOCK_1_COMPUTED[i].blockOffset, value * (scale / 8388608.0));
        }
      });
}

BlockRead::Result FSUIPCReadBlock20() {
  if (!SimConnected) return BlockRead::LinkDown;
  char model[MODEL_NAME_SIZE] = {};
  uint8_t changeA[2] = {};
  uint8_t changeB[2] = {};
  std::array<char, FLIGHT_PLAN_PATH_SIZE> path{};
  return ReadBatch(
      "FSUIPCReadBlock20()",
      [&](IpcBatch& batch) {
        return QueueFields(batch, BLOCK_2_FIELDS, Block2) && batch.Read(MODEL_NAME_OFFSET, MODEL_NAME_SIZE, model) &&
               batch.Read(CHANGE_COUNTER_A, 2, changeA) && batch.Read(CHANGE_COUNTER_B, 2, changeB) &&
               batch.Read(FLIGHT_PLAN_PATH_OFFSET, FLIGHT_PLAN_PATH_SIZE, path.data());
      },
      [&] {
        PutU16(Block2.data() + Block2Field::ActivationFlag, Settings.activateoffset ? 1 : 0);
        size_t length = strnlen(model, Block2Field::MODEL_NAME_CHARACTERS);
        std::memcpy(Block2.data() + Block2Field::ModelName, model, length);
        Block2[Block2Field::ModelName + length] = 0;
        CountChange(GetU16(changeA), lastChangeA);
        CountChange(GetU16(changeB), lastChangeB);
        FlightPlanPath = path;
        FlightPlanPath.back() = '\0';  // the simulator's text may fill all 256 bytes
        PublishStartingValues(20);
      });
}

BlockRead::Result FSUIPCReadBlock30() {
  if (!SimConnected) return BlockRead::Block3LinkDown;
  // The hot key's slot is read in the same batch: no exchange of its own
  // for the press byte, nor for TestKey's look at the key character.
  SlotReads slot;
  bool slotQueued = false;
  return ReadBatch(
      "FSUIPCReadBlock30()",
      [&](IpcBatch& batch) {
        if (!QueueFields(batch, BLOCK_3_FIELDS, Block3)) return false;
        if (Settings.hotKeyChar != 0 && TabKeySlot != 0) {
          slotQueued = QueueSlotReads(batch, slot);
          return slotQueued;
        }
        return true;
      },
      [&] {
        if (Settings.hotKeyChar != 0) Block3[Block3Field::HotKeyByte] = slotQueued ? TakePress(slot) : 0;
        PublishStartingValues(30);
      });
}

BlockRead::Result ReadBlock(uint32_t blockNumber) {
  switch (blockNumber) {
    case 10:
      return FSUIPCReadBlock10();
    case 20:
      return FSUIPCReadBlock20();
    case 30:
      return FSUIPCReadBlock30();
    default:
      platform::ExitProcess(ExitCode::UnknownBlock);
  }
}

BlockRead::Result ReadRemoteData(RemoteDataRecord* destination) {
  thread_local IpcBatch batch;
  batch.Clear();
  for (const BlockField& field : REMOTE_DATA_FIELDS) {
    if (!batch.Read(field.simOffset, field.width, destination->data() + field.blockOffset)) return BlockRead::NotQueued;
  }
  return ExchangeBatch(batch, "ReadRemoteData()") ? BlockRead::Fresh : BlockRead::ExchangeFailed;
}
