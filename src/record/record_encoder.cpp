#include "record/record_encoder.h"

#include "wire/bytes.h"

void AppendExchangeRequest(std::vector<uint8_t>& bytes, uint8_t id, uint32_t offset, const uint8_t* data,
                           uint32_t size) {
  bytes.push_back(id);
  AppendU32(bytes, offset);
  AppendU32(bytes, size);
  AppendBytes(bytes, data, size);
}

bool RecordEncoder::Begin(const RecordingHeader& header) {
  imagePeriodMs_ = header.imagePeriodMs == 0 ? IMAGE_PERIOD_MS : header.imagePeriodMs;
  nextImageAt_ = imagePeriodMs_;
  const std::vector<uint8_t> payload = EncodeHeader(header);
  chunk_.clear();
  AppendChunk(chunk_, ChunkKind::Header, payload.data(), payload.size());
  return sink_(chunk_);
}

bool RecordEncoder::Emit(ChunkKind kind, uint32_t firstTimeMs) {
  chunk_.clear();
  AppendChunk(chunk_, kind, payload_.data(), payload_.size());
  payload_.clear();
  if (sink_(chunk_)) return true;
  lostFrom_ = firstTimeMs;
  return false;
}

bool RecordEncoder::Flush() { return payload_.empty() || Emit(ChunkKind::Records, pendingSince_); }

bool RecordEncoder::WriteImage(uint32_t timeMs) {
  if (!Flush()) return false;
  const size_t at = BeginRecord(payload_, RecordType::Image, timeMs);
  AppendImageState(payload_, state_);
  tracker_.AppendImage(payload_);
  CloseRecord(payload_, at);
  answeredSinceImage_ = false;
  nextImageAt_ = timeMs + imagePeriodMs_;
  return Emit(ChunkKind::Image, timeMs);
}

void RecordEncoder::Prime(const RecordEntry& entry) { Take(entry, false); }

bool RecordEncoder::Add(const RecordEntry& entry) {
  // The image shows everything before this entry, at its time.
  if (entry.timeMs >= nextImageAt_ && answeredSinceImage_ && !WriteImage(entry.timeMs)) return false;
  if (payload_.empty()) pendingSince_ = entry.timeMs;
  Take(entry, true);
  return payload_.size() < CHUNK_TARGET_SIZE || Flush();
}

void RecordEncoder::Take(const RecordEntry& entry, bool record) {
  std::vector<uint8_t> ignored;
  std::vector<uint8_t>& out = record ? payload_ : ignored;
  const std::vector<uint8_t>& bytes = entry.bytes;
  switch (entry.kind) {
    case EntryKind::Exchange: {
      // The writes first, each a record; then one record of every span the
      // answers changed, if any did.
      std::vector<uint8_t> spans;
      for (size_t at = 0; at + EXCHANGE_REQUEST_HEADER <= bytes.size();) {
        const uint8_t id = bytes[at];
        const uint32_t offset = GetU32(bytes.data() + at + 1);
        const uint32_t size = GetU32(bytes.data() + at + 5);
        const uint8_t* data = bytes.data() + at + EXCHANGE_REQUEST_HEADER;
        if (size > bytes.size() - at - EXCHANGE_REQUEST_HEADER) break;
        if (id == EXCHANGE_WRITE) {
          AppendWriteRecord(out, entry.timeMs, offset, data, size);
        } else if (tracker_.TakeAnswer(spans, offset, data, size)) {
          answeredSinceImage_ = true;
        }
        at += EXCHANGE_REQUEST_HEADER + size;
      }
      if (!spans.empty()) {
        const size_t at = BeginRecord(out, RecordType::Answers, entry.timeMs);
        AppendBytes(out, spans.data(), spans.size());
        CloseRecord(out, at);
      }
      break;
    }
    case EntryKind::Event: {
      if (bytes.empty()) return;
      const EventCode code = static_cast<EventCode>(bytes[0]);
      if (code == EventCode::SimulatorConnected && bytes.size() >= 9) {
        state_.simulatorConnected = true;
        state_.serverVersion = GetU32(bytes.data() + 1);
        state_.simulatorVersion = GetU32(bytes.data() + 5);
        state_.where.assign(bytes.begin() + 9, bytes.end());
      } else if (code == EventCode::SimulatorLost) {
        state_.simulatorConnected = false;
      } else if (code == EventCode::ComMgrConnected) {
        state_.comMgrConnected = true;
      } else if (code == EventCode::ComMgrLost) {
        state_.comMgrConnected = false;
      }
      AppendEventRecord(out, entry.timeMs, code, bytes.data() + 1, bytes.size() - 1);
      break;
    }
    case EntryKind::Plan: {
      const size_t at = BeginRecord(out, RecordType::Plan, entry.timeMs);
      AppendBytes(out, bytes.data(), bytes.size());
      CloseRecord(out, at);
      break;
    }
  }
}

std::vector<uint8_t> GapChunk(uint32_t timeMs, GapReason reason) {
  std::vector<uint8_t> payload;
  const uint8_t why = static_cast<uint8_t>(reason);
  AppendEventRecord(payload, timeMs, EventCode::Gap, &why, 1);
  std::vector<uint8_t> chunk;
  AppendChunk(chunk, ChunkKind::Records, payload.data(), payload.size());
  return chunk;
}

std::vector<uint8_t> SimulatorConnectedEvent(uint32_t serverVersion, uint32_t simulatorVersion,
                                             const std::string& where) {
  std::vector<uint8_t> body{static_cast<uint8_t>(EventCode::SimulatorConnected)};
  AppendU32(body, serverVersion);
  AppendU32(body, simulatorVersion);
  AppendBytes(body, where.data(), where.size());
  return body;
}

std::vector<uint8_t> TextEvent(EventCode code, const std::string& text) {
  std::vector<uint8_t> body{static_cast<uint8_t>(code)};
  AppendBytes(body, text.data(), text.size());
  return body;
}

std::vector<uint8_t> CountEvent(EventCode code, int32_t count) {
  std::vector<uint8_t> body{static_cast<uint8_t>(code)};
  AppendU32(body, static_cast<uint32_t>(count));
  return body;
}
