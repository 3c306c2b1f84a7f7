#include "record/record_format.h"

#include <algorithm>
#include <cstring>

#include "record/checksum.h"
#include "wire/bytes.h"

std::vector<uint8_t> EncodeHeader(const RecordingHeader& header) {
  std::vector<uint8_t> payload(RECORDING_HEADER_SIZE, 0);
  uint8_t* p = payload.data();
  PutU16(p + HeaderField::FormatVersion, header.formatVersion);
  PutU16(p + HeaderField::HeaderSize, static_cast<uint16_t>(RECORDING_HEADER_SIZE));
  PutU64(p + HeaderField::StartUtcMs, header.startUtcMs);
  PutI32(p + HeaderField::RestartCount, header.restartCount);
  PutI32(p + HeaderField::UdpInterval, header.udpinterval);
  PutI32(p + HeaderField::UdpWait, header.udpwait);
  PutU8(p + HeaderField::Remote, header.remote ? 1 : 0);
  PutU32(p + HeaderField::ImagePeriod, header.imagePeriodMs);
  PutU32(p + HeaderField::ServerVersion, header.serverVersion);
  PutU32(p + HeaderField::SimulatorVersion, header.simulatorVersion);
  // Cut to leave the terminator.
  std::memcpy(p + HeaderField::NodeVersion, header.nodeVersion.data(),
              std::min(header.nodeVersion.size(), HeaderField::NODE_VERSION_CAPACITY - 1));
  return payload;
}

bool DecodeHeader(const uint8_t* payload, size_t size, RecordingHeader& header, std::string& error) {
  if (size < HeaderField::HeaderSize + 2) {
    error = "its header is too short";
    return false;
  }
  header.formatVersion = GetU16(payload + HeaderField::FormatVersion);
  if (header.formatVersion != RECORDING_FORMAT_VERSION) {
    error = "it is of format version " + std::to_string(header.formatVersion) + "; this program reads version " +
            std::to_string(RECORDING_FORMAT_VERSION) + " only";
    return false;
  }
  if (size < RECORDING_HEADER_SIZE || GetU16(payload + HeaderField::HeaderSize) != RECORDING_HEADER_SIZE) {
    error = "its header is not of the size version " + std::to_string(RECORDING_FORMAT_VERSION) + " gives it";
    return false;
  }
  header.startUtcMs = GetU64(payload + HeaderField::StartUtcMs);
  header.restartCount = GetI32(payload + HeaderField::RestartCount);
  header.udpinterval = GetI32(payload + HeaderField::UdpInterval);
  header.udpwait = GetI32(payload + HeaderField::UdpWait);
  header.remote = payload[HeaderField::Remote] != 0;
  header.imagePeriodMs = GetU32(payload + HeaderField::ImagePeriod);
  header.serverVersion = GetU32(payload + HeaderField::ServerVersion);
  header.simulatorVersion = GetU32(payload + HeaderField::SimulatorVersion);
  const char* version = reinterpret_cast<const char*>(payload + HeaderField::NodeVersion);
  header.nodeVersion.assign(version, strnlen(version, HeaderField::NODE_VERSION_CAPACITY));
  return true;
}

uint32_t ChunkChecksum(const uint8_t* chunkHeader, const uint8_t* payload, size_t size) {
  return Crc32(Crc32(0, chunkHeader, ChunkField::Crc), payload, size);
}

void AppendChunk(std::vector<uint8_t>& out, ChunkKind kind, const uint8_t* payload, size_t size) {
  uint8_t header[CHUNK_HEADER_SIZE] = {};
  PutU32(header + ChunkField::Mark, CHUNK_MARK);
  PutU16(header + ChunkField::Kind, static_cast<uint16_t>(kind));
  PutU16(header + ChunkField::Flags, 0);
  PutU32(header + ChunkField::Length, static_cast<uint32_t>(size));
  PutU32(header + ChunkField::Crc, ChunkChecksum(header, payload, size));
  out.insert(out.end(), header, header + CHUNK_HEADER_SIZE);
  if (size > 0) out.insert(out.end(), payload, payload + size);
}

void AppendU16(std::vector<uint8_t>& out, uint16_t value) {
  uint8_t bytes[2];
  PutU16(bytes, value);
  out.insert(out.end(), bytes, bytes + 2);
}

void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[4];
  PutU32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

void AppendBytes(std::vector<uint8_t>& out, const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (size > 0) out.insert(out.end(), bytes, bytes + size);
}

size_t BeginRecord(std::vector<uint8_t>& payload, RecordType type, uint32_t timeMs) {
  const size_t at = payload.size();
  payload.push_back(static_cast<uint8_t>(type));
  AppendU32(payload, timeMs);
  AppendU32(payload, 0);
  return at;
}

void CloseRecord(std::vector<uint8_t>& payload, size_t recordAt) {
  PutU32(payload.data() + recordAt + RecordField::Length,
         static_cast<uint32_t>(payload.size() - recordAt - RECORD_HEADER_SIZE));
}

void AppendSpan(std::vector<uint8_t>& payload, uint16_t offset, const uint8_t* data, uint16_t size) {
  AppendU16(payload, offset);
  AppendU16(payload, size);
  AppendBytes(payload, data, size);
}

void AppendWriteRecord(std::vector<uint8_t>& payload, uint32_t timeMs, uint32_t offset, const uint8_t* data,
                       size_t size) {
  const size_t at = BeginRecord(payload, RecordType::Write, timeMs);
  AppendU32(payload, offset);
  AppendBytes(payload, data, size);
  CloseRecord(payload, at);
}

void AppendPlanBody(std::vector<uint8_t>& out, const std::string& path, const std::string& content) {
  const uint16_t pathLength = static_cast<uint16_t>(std::min<size_t>(path.size(), 0xFFFF));
  AppendU16(out, pathLength);
  AppendBytes(out, path.data(), pathLength);
  AppendBytes(out, content.data(), content.size());
}

void AppendEventRecord(std::vector<uint8_t>& payload, uint32_t timeMs, EventCode code, const uint8_t* data,
                       size_t size) {
  const size_t at = BeginRecord(payload, RecordType::Event, timeMs);
  payload.push_back(static_cast<uint8_t>(code));
  AppendBytes(payload, data, size);
  CloseRecord(payload, at);
}

void AppendImageState(std::vector<uint8_t>& payload, const LinkState& state) {
  const uint16_t whereLength = static_cast<uint16_t>(std::min<size_t>(state.where.size(), 0xFFFF));
  payload.push_back(static_cast<uint8_t>((state.simulatorConnected ? IMAGE_SIMULATOR_CONNECTED : 0) |
                                         (state.comMgrConnected ? IMAGE_COMMGR_CONNECTED : 0)));
  payload.push_back(0);
  AppendU16(payload, whereLength);
  AppendU32(payload, state.serverVersion);
  AppendU32(payload, state.simulatorVersion);
  AppendBytes(payload, state.where.data(), whereLength);
}
