#pragma once
// The three fixed simulator data blocks, each a complete network message
// whose data begin at byte 40, the remote-data record and the flight-plan
// path. Each block is read in one exchange from a layout table.

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr size_t BLOCK_1_SIZE = 360;
inline constexpr size_t BLOCK_2_SIZE = 192;
inline constexpr size_t BLOCK_3_SIZE = 280;
inline constexpr size_t REMOTE_DATA_SIZE = 36;
inline constexpr size_t FLIGHT_PLAN_PATH_SIZE = 256;

// How a field's bytes read as a value, for whoever shows them (the
// recordings' tool): the block carries them unchanged whatever the form.
enum class FieldForm : uint8_t {
  Double,    // IEEE double
  Signed,    // signed integer of the width
  Unsigned,  // unsigned integer of the width
  Bcd,       // BCD digits of a frequency word (123.45 MHz is 0x2345)
  Text,      // zero-terminated text
  Bytes,     // bytes without one value
};

// One field of a block: bytes at a simulator offset stored unchanged. The
// name is the field's for people (a column of a table); an offset in hex
// names a field whose meaning the node leaves to the simulator.
struct BlockField {
  uint16_t blockOffset;
  uint16_t width;
  uint16_t simOffset;
  const char* name;
  FieldForm form;
};

// Fields of the blocks that other parts of the node read.
namespace Block2Field {
inline constexpr size_t FlapExtension = 96;   // 0x0BE0, 16383 = fully extended
inline constexpr size_t FlapPosition = 100;   // 0x0BFC
inline constexpr size_t FlapPositions = 112;  // 0x3BF8
inline constexpr size_t Nav1 = 120;           // 0x0350
inline constexpr size_t Nav2 = 122;           // 0x0352
inline constexpr size_t Course1 = 128;        // 0x0C4E
inline constexpr size_t Course2 = 130;        // 0x0C5E
inline constexpr size_t Com1 = 132;           // 0x034E
inline constexpr size_t Com2 = 134;           // 0x3118
inline constexpr size_t ActivationFlag = 146;
inline constexpr size_t ModelName = 172;
inline constexpr size_t MODEL_NAME_CAPACITY = 20;
inline constexpr size_t MODEL_NAME_CHARACTERS = 9;
}  // namespace Block2Field

namespace Block3Field {
inline constexpr size_t Altitude = 156;       // 0x07D4
inline constexpr size_t FsChangeCount = 240;
inline constexpr size_t Reserved244 = 244;
inline constexpr size_t ConnectedByte = 248;
inline constexpr size_t Speed = 252;          // 0x07E2
inline constexpr size_t Heading = 256;        // 0x07CC
inline constexpr size_t Adf1Main = 266;       // 0x034C
inline constexpr size_t Adf1Extension = 268;  // 0x0356
inline constexpr size_t Adf2Main = 270;       // 0x02D4
inline constexpr size_t Adf2Extension = 272;  // 0x02D6
inline constexpr size_t HotKeyByte = 276;
}  // namespace Block3Field

// Fields of Blocks 2 and 3 that the network's knob steps start from. The
// receive thread reads them while the polling thread refreshes the blocks,
// so each is published whole after every good read of its block: a reader
// never sees half an old and half a new value.
enum class StartField {
  Nav1, Nav2, Course1, Course2, Com1, Com2,  // Block 2, 16-bit
  Altitude,                                  // Block 3, 32-bit signed
  Speed, Heading,                            // Block 3, 16-bit signed
  Adf1Main, Adf1Extension, Adf2Main, Adf2Extension,  // Block 3, 16-bit
  Count
};
// The field's bits as last published (16-bit fields in the low half).
uint32_t StartingValue(StartField field);
// Publishes the fields of the block (20 or 30) from its bytes; the readers
// do it after each good read, tests after setting the bytes themselves.
void PublishStartingValues(uint32_t blockNumber);

extern std::array<uint8_t, BLOCK_1_SIZE> Block1;
extern std::array<uint8_t, BLOCK_2_SIZE> Block2;
extern std::array<uint8_t, BLOCK_3_SIZE> Block3;
// The flight-plan file the simulator reports (0x0130), refreshed by every
// good Block 2 read.
extern std::array<char, FLIGHT_PLAN_PATH_SIZE> FlightPlanPath;

using RemoteDataRecord = std::array<uint8_t, REMOTE_DATA_SIZE>;

// The layout tables, for the readers and for whoever checks them.
struct BlockLayout {
  const BlockField* fields;
  size_t count;
};
BlockLayout Block1Layout();
BlockLayout Block2Layout();
BlockLayout Block3Layout();
BlockLayout RemoteDataLayout();
// Where the layout puts the simulator offset's bytes in its block or
// record; 0 when the layout does not carry it.
size_t FieldAt(const BlockLayout& layout, uint16_t simOffset);

// The three computed doubles of Block 1: V(value) x (V(scale) / 8388608).
struct ComputedField {
  uint16_t blockOffset;
  uint16_t valueOffset;
  uint16_t scaleOffset;
  const char* name;
};
struct ComputedLayout {
  const ComputedField* fields;
  size_t count;
};
ComputedLayout Block1Computed();

// Start-up values: ModelName "EMPTY", FsChangeCount and its neighbour 0.
void ResetBlocks();

// What a reader reports: Fresh, or why the block (or record) is unchanged.
namespace BlockRead {
enum Result : uint32_t {
  Fresh = 0,
  Block3LinkDown = 1,  // Block 3's reader: the link is down
  LinkDown = 4,        // Blocks 1 and 2: the link is down
  NotQueued = 5,       // a request could not be queued
  ExchangeFailed = 6,  // the exchange failed, or the "FSUIPC" lock could not be had
};
}  // namespace BlockRead

BlockRead::Result FSUIPCReadBlock10();
BlockRead::Result FSUIPCReadBlock20();
BlockRead::Result FSUIPCReadBlock30();
// Reads block 10, 20 or 30; any other number ends the process
// (ExitCode::UnknownBlock).
BlockRead::Result ReadBlock(uint32_t blockNumber);

// Fresh when the record was filled; NotQueued or ExchangeFailed on failure.
BlockRead::Result ReadRemoteData(RemoteDataRecord* destination);
