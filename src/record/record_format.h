#pragma once
// The recording file, declared once for its writer, its reader and the
// tools. A recording is a run of chunks; each carries its kind, its length
// and a checksum, so that a damaged or cut chunk is found and bounded.
// Every field is little-endian (wire/bytes.h). docs/recording.md tells the
// same field by field.
//
// Chunk:   mark "ZREC" | kind u16 | flags u16 (0) | payload length u32 |
//          CRC-32 u32 of the first 12 bytes and the payload | payload
// The first chunk is the header; an image chunk begins with an image
// record; a records chunk holds records of any other type.
// Record:  type u8 | time u32 (ms from the start) | body length u32 | body

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint16_t RECORDING_FORMAT_VERSION = 1;
inline constexpr const char* RECORDING_EXTENSION = ".zrec";

inline constexpr uint32_t CHUNK_MARK = 0x4345525A;  // "ZREC" in the file
namespace ChunkField {
inline constexpr size_t Mark = 0;
inline constexpr size_t Kind = 4;
inline constexpr size_t Flags = 6;
inline constexpr size_t Length = 8;
inline constexpr size_t Crc = 12;
}  // namespace ChunkField
inline constexpr size_t CHUNK_HEADER_SIZE = 16;
static_assert(ChunkField::Crc + 4 == CHUNK_HEADER_SIZE);
// A longer payload is taken for damage: no writer makes one (a flight plan
// of the largest size the node imports fits with room to spare).
inline constexpr uint32_t MAX_CHUNK_PAYLOAD = 4u << 20;

enum class ChunkKind : uint16_t { Header = 1, Image = 2, Records = 3 };

namespace RecordField {
inline constexpr size_t Type = 0;
inline constexpr size_t Time = 1;
inline constexpr size_t Length = 5;
}  // namespace RecordField
inline constexpr size_t RECORD_HEADER_SIZE = 9;
static_assert(RecordField::Length + 4 == RECORD_HEADER_SIZE);

enum class RecordType : uint8_t {
  Answers = 1,  // spans of the offset space that the simulator's answers changed
  Write = 2,    // offset u32 | the bytes the node wrote
  Event = 3,    // event code u8 | what the event carries
  Plan = 4,     // path length u16 | path | the flight-plan file's content
  Image = 5,    // the state (below) | spans of everything read so far
};

// The simulator's offset space as the recording keeps it: 64 KiB, offsets
// 0x0000 to 0xFFFF. A span: offset u16 | length u16 | bytes.
inline constexpr uint32_t RECORDED_SPACE_SIZE = 0x10000;
inline constexpr size_t SPAN_HEADER_SIZE = 4;

enum class EventCode : uint8_t {
  SimulatorConnected = 1,  // server version u32 | simulator version u32 | where (text, the rest)
  SimulatorLost = 2,
  ComMgrConnected = 3,     // ComMgr's address (text, the rest)
  ComMgrLost = 4,
  Restart = 5,             // the successor's restart count i32
  Gap = 6,                 // why u8 (GapReason): nothing more is recorded from here
  End = 7,                 // the recording was closed in order
};
enum class GapReason : uint8_t { QueueFull = 1, WriteFailed = 2 };

// Image body: flags u8 (1: simulator connected, 2: ComMgr connected) |
// reserved u8 | length of where u16 | server version u32 | simulator
// version u32 | where (text) | spans.
namespace ImageField {
inline constexpr size_t Flags = 0;
inline constexpr size_t WhereLength = 2;
inline constexpr size_t ServerVersion = 4;
inline constexpr size_t SimulatorVersion = 8;
}  // namespace ImageField
inline constexpr size_t IMAGE_STATE_SIZE = 12;
inline constexpr uint8_t IMAGE_SIMULATOR_CONNECTED = 1;
inline constexpr uint8_t IMAGE_COMMGR_CONNECTED = 2;

// The header chunk's payload.
namespace HeaderField {
inline constexpr size_t FormatVersion = 0;  // u16
inline constexpr size_t HeaderSize = 2;     // u16: this layout's size
inline constexpr size_t StartUtcMs = 4;     // u64: ms since 1970-01-01 UTC
inline constexpr size_t RestartCount = 12;  // i32
inline constexpr size_t UdpInterval = 16;   // i32, ms
inline constexpr size_t UdpWait = 20;       // i32, ms
inline constexpr size_t Remote = 24;        // u8, then 3 reserved
inline constexpr size_t ImagePeriod = 28;   // u32, ms
inline constexpr size_t ServerVersion = 32;     // u32: the simulator's at the start, 0: none yet
inline constexpr size_t SimulatorVersion = 36;  // u32
inline constexpr size_t NodeVersion = 40;       // text, zero-padded
inline constexpr size_t NODE_VERSION_CAPACITY = 24;
}  // namespace HeaderField
inline constexpr size_t RECORDING_HEADER_SIZE = 64;
static_assert(HeaderField::NodeVersion + HeaderField::NODE_VERSION_CAPACITY == RECORDING_HEADER_SIZE);

// A full image every so many ms of recording, so that a file cut or
// damaged anywhere replays from the last image before the fault.
inline constexpr uint32_t IMAGE_PERIOD_MS = 10000;

struct RecordingHeader {
  uint16_t formatVersion = RECORDING_FORMAT_VERSION;
  uint64_t startUtcMs = 0;
  int32_t restartCount = 0;
  int32_t udpinterval = 0;
  int32_t udpwait = 0;
  bool remote = false;
  uint32_t imagePeriodMs = IMAGE_PERIOD_MS;
  uint32_t serverVersion = 0;
  uint32_t simulatorVersion = 0;
  std::string nodeVersion;
};

// What the simulator and ComMgr were doing: carried by every image.
struct LinkState {
  bool simulatorConnected = false;
  bool comMgrConnected = false;
  uint32_t serverVersion = 0;
  uint32_t simulatorVersion = 0;
  std::string where;  // how the node reached the simulator
};

// The header chunk's payload; false, with the reason, for bytes that are
// no header of this format version.
std::vector<uint8_t> EncodeHeader(const RecordingHeader& header);
bool DecodeHeader(const uint8_t* payload, size_t size, RecordingHeader& header, std::string& error);

// Appends a whole chunk: its header with the checksum, then the payload.
void AppendChunk(std::vector<uint8_t>& out, ChunkKind kind, const uint8_t* payload, size_t size);
// The checksum a chunk's header must carry.
uint32_t ChunkChecksum(const uint8_t* chunkHeader, const uint8_t* payload, size_t size);

// A record is opened, its body appended, and closed (which fills in its
// length): BeginRecord gives the place CloseRecord needs.
size_t BeginRecord(std::vector<uint8_t>& payload, RecordType type, uint32_t timeMs);
void CloseRecord(std::vector<uint8_t>& payload, size_t recordAt);
void AppendSpan(std::vector<uint8_t>& payload, uint16_t offset, const uint8_t* data, uint16_t size);
void AppendU16(std::vector<uint8_t>& out, uint16_t value);
void AppendU32(std::vector<uint8_t>& out, uint32_t value);
void AppendBytes(std::vector<uint8_t>& out, const void* data, size_t size);

// Whole records, for the writer and the tools alike.
void AppendWriteRecord(std::vector<uint8_t>& payload, uint32_t timeMs, uint32_t offset, const uint8_t* data,
                       size_t size);
// A plan record's body: path length u16 | path | content.
void AppendPlanBody(std::vector<uint8_t>& out, const std::string& path, const std::string& content);
void AppendEventRecord(std::vector<uint8_t>& payload, uint32_t timeMs, EventCode code, const uint8_t* data = nullptr,
                       size_t size = 0);
// An image record's body up to its spans.
void AppendImageState(std::vector<uint8_t>& payload, const LinkState& state);
