#include "record/recording_reader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "wire/bytes.h"

namespace {

struct ChunkView {
  ChunkKind kind;
  size_t payloadAt;
  uint32_t length;
};

enum class ChunkCheck { Whole, Short, Bad };

std::string At(size_t position) { return "byte " + std::to_string(position); }

// What stands at the position: a whole chunk, the beginning of one that
// the file cuts short, or something that is no sound chunk (why says so).
ChunkCheck CheckChunk(const std::vector<uint8_t>& b, size_t pos, ChunkView& view, std::string& why) {
  const size_t left = b.size() - pos;
  const uint8_t* p = b.data() + pos;
  uint8_t mark[4];
  PutU32(mark, CHUNK_MARK);
  if (left < CHUNK_HEADER_SIZE) {
    if (std::memcmp(p, mark, std::min<size_t>(left, 4)) == 0) return ChunkCheck::Short;
    why = "no chunk begins there";
    return ChunkCheck::Bad;
  }
  if (std::memcmp(p, mark, 4) != 0) {
    why = "no chunk begins there";
    return ChunkCheck::Bad;
  }
  const uint16_t kind = GetU16(p + ChunkField::Kind);
  const uint32_t length = GetU32(p + ChunkField::Length);
  if (kind < static_cast<uint16_t>(ChunkKind::Header) || kind > static_cast<uint16_t>(ChunkKind::Records) ||
      GetU16(p + ChunkField::Flags) != 0) {
    why = "its kind is unknown";
    return ChunkCheck::Bad;
  }
  if (length > MAX_CHUNK_PAYLOAD) {
    why = "its length is out of bounds";
    return ChunkCheck::Bad;
  }
  if (length > left - CHUNK_HEADER_SIZE) return ChunkCheck::Short;
  if (GetU32(p + ChunkField::Crc) != ChunkChecksum(p, p + CHUNK_HEADER_SIZE, length)) {
    why = "its checksum does not match";
    return ChunkCheck::Bad;
  }
  view = {static_cast<ChunkKind>(kind), pos + CHUNK_HEADER_SIZE, length};
  return ChunkCheck::Whole;
}

bool ParseSpans(const std::vector<uint8_t>& b, size_t at, size_t end, RecordedItem& item,
                std::vector<RecordedSpan>& spans, size_t spanBase) {
  item.firstSpan = spanBase + spans.size();
  while (at < end) {
    if (end - at < SPAN_HEADER_SIZE) return false;
    const uint16_t offset = GetU16(b.data() + at);
    const uint16_t size = GetU16(b.data() + at + 2);
    if (size > end - at - SPAN_HEADER_SIZE || offset + size > RECORDED_SPACE_SIZE) return false;
    spans.push_back({offset, size, at + SPAN_HEADER_SIZE});
    ++item.spanCount;
    at += SPAN_HEADER_SIZE + size;
  }
  return true;
}

bool ParseEvent(const std::vector<uint8_t>& b, size_t at, size_t end, RecordedItem& item) {
  if (at == end) return false;
  item.event = static_cast<EventCode>(b[at++]);
  const size_t size = end - at;
  item.dataAt = at;
  item.dataSize = size;
  const uint8_t* p = b.data() + at;
  switch (item.event) {
    case EventCode::SimulatorConnected:
      if (size < 8) return false;
      item.state.simulatorConnected = true;
      item.state.serverVersion = GetU32(p);
      item.state.simulatorVersion = GetU32(p + 4);
      item.state.where.assign(p + 8, p + size);
      return true;
    case EventCode::ComMgrConnected:
      item.text.assign(p, p + size);
      return true;
    case EventCode::Restart:
      if (size < 4) return false;
      item.value = GetI32(p);
      return true;
    case EventCode::Gap:
      if (size < 1) return false;
      item.value = p[0];
      return true;
    case EventCode::SimulatorLost:
    case EventCode::ComMgrLost:
    case EventCode::End:
      return true;
  }
  return false;
}

bool ParseImageState(const std::vector<uint8_t>& b, size_t& at, size_t end, RecordedItem& item) {
  if (end - at < IMAGE_STATE_SIZE) return false;
  const uint8_t* p = b.data() + at;
  const uint16_t whereLength = GetU16(p + ImageField::WhereLength);
  if (whereLength > end - at - IMAGE_STATE_SIZE) return false;
  item.state.simulatorConnected = (p[ImageField::Flags] & IMAGE_SIMULATOR_CONNECTED) != 0;
  item.state.comMgrConnected = (p[ImageField::Flags] & IMAGE_COMMGR_CONNECTED) != 0;
  item.state.serverVersion = GetU32(p + ImageField::ServerVersion);
  item.state.simulatorVersion = GetU32(p + ImageField::SimulatorVersion);
  item.state.where.assign(p + IMAGE_STATE_SIZE, p + IMAGE_STATE_SIZE + whereLength);
  at += IMAGE_STATE_SIZE + whereLength;
  return true;
}

// The records of a whole chunk, each checked; nothing is taken from a
// chunk that holds a malformed one. Times never go back.
bool ParseRecords(const std::vector<uint8_t>& b, size_t chunkAt, const ChunkView& view, size_t spanBase,
                  uint32_t& lastTime, std::vector<RecordedItem>& items, std::vector<RecordedSpan>& spans,
                  std::string& why) {
  why = "its records are malformed";
  if (view.kind == ChunkKind::Header || view.length == 0) return false;
  uint32_t time = lastTime;
  size_t at = view.payloadAt;
  const size_t end = view.payloadAt + view.length;
  while (at < end) {
    if (end - at < RECORD_HEADER_SIZE) return false;
    RecordedItem item;
    item.type = static_cast<RecordType>(b[at + RecordField::Type]);
    item.timeMs = GetU32(b.data() + at + RecordField::Time);
    item.chunkAt = chunkAt;
    const uint32_t length = GetU32(b.data() + at + RecordField::Length);
    size_t body = at + RECORD_HEADER_SIZE;
    if (length > end - body) return false;
    const size_t bodyEnd = body + length;
    if (item.timeMs < time) {
      why = "its times go back";
      return false;
    }
    time = item.timeMs;
    // An image chunk is one image record; no other chunk holds one.
    const bool image = item.type == RecordType::Image;
    if (image != (view.kind == ChunkKind::Image) || (image && bodyEnd != end)) return false;
    bool sound = false;
    switch (item.type) {
      case RecordType::Answers:
        sound = ParseSpans(b, body, bodyEnd, item, spans, spanBase);
        break;
      case RecordType::Image:
        sound = ParseImageState(b, body, bodyEnd, item) && ParseSpans(b, body, bodyEnd, item, spans, spanBase);
        break;
      case RecordType::Write:
        sound = length >= 4;
        if (sound) {
          item.offset = GetU32(b.data() + body);
          item.dataAt = body + 4;
          item.dataSize = length - 4;
        }
        break;
      case RecordType::Event:
        sound = ParseEvent(b, body, bodyEnd, item);
        break;
      case RecordType::Plan: {
        const uint16_t pathLength = length >= 2 ? GetU16(b.data() + body) : 0;
        sound = length >= 2 && pathLength <= length - 2;
        if (sound) {
          item.text.assign(b.begin() + static_cast<std::ptrdiff_t>(body + 2),
                           b.begin() + static_cast<std::ptrdiff_t>(body + 2 + pathLength));
          item.dataAt = body + 2 + pathLength;
          item.dataSize = length - 2 - pathLength;
        }
        break;
      }
    }
    if (!sound) return false;
    items.push_back(std::move(item));
    at = bodyEnd;
  }
  lastTime = time;
  return true;
}

// The next whole image chunk from the position on whose records are sound.
size_t FindImage(const std::vector<uint8_t>& b, size_t from, uint32_t lastTime) {
  const uint8_t first = static_cast<uint8_t>(CHUNK_MARK & 0xFF);
  for (size_t pos = from; pos < b.size(); ++pos) {
    const void* found = std::memchr(b.data() + pos, first, b.size() - pos);
    if (found == nullptr) break;
    pos = static_cast<size_t>(static_cast<const uint8_t*>(found) - b.data());
    ChunkView view;
    std::string why;
    if (CheckChunk(b, pos, view, why) != ChunkCheck::Whole || view.kind != ChunkKind::Image) continue;
    std::vector<RecordedItem> items;
    std::vector<RecordedSpan> spans;
    uint32_t time = lastTime;
    if (ParseRecords(b, pos, view, 0, time, items, spans, why)) return pos;
  }
  return std::string::npos;
}

bool AllZero(const std::vector<uint8_t>& b, size_t from) {
  return std::all_of(b.begin() + static_cast<std::ptrdiff_t>(from), b.end(), [](uint8_t v) { return v == 0; });
}

}  // namespace

bool ParseRecording(std::vector<uint8_t> bytes, Recording& r, std::string& error) {
  r = Recording{};
  r.bytes = std::move(bytes);
  const std::vector<uint8_t>& b = r.bytes;
  ChunkView view{};
  std::string why;
  uint8_t mark[4];
  PutU32(mark, CHUNK_MARK);
  if (b.size() < 4 || std::memcmp(b.data(), mark, 4) != 0) {
    error = "it is not a recording: it does not begin with a recording's mark";
    return false;
  }
  const ChunkCheck first = CheckChunk(b, 0, view, why);
  if (first == ChunkCheck::Short) {
    error = "it is cut short inside its header, at " + At(b.size());
    return false;
  }
  if (first == ChunkCheck::Bad || view.kind != ChunkKind::Header) {
    error = "its header is damaged: " + (first == ChunkCheck::Bad ? why : "the first chunk is no header");
    return false;
  }
  if (!DecodeHeader(b.data() + view.payloadAt, view.length, r.header, error)) return false;

  size_t pos = view.payloadAt + view.length;
  r.chunks = 1;
  r.wholeEnd = pos;
  uint32_t lastTime = 0;
  while (pos < b.size()) {
    const ChunkCheck check = CheckChunk(b, pos, view, why);
    if (check == ChunkCheck::Short) {
      r.end = RecordingEnd::Cut;
      r.problems.push_back("cut at " + At(b.size()) + ": the chunk at " + At(pos) +
                           " is not whole; read up to " + At(pos));
      break;
    }
    if (check == ChunkCheck::Whole) {
      std::vector<RecordedItem> items;
      std::vector<RecordedSpan> spans;
      if (ParseRecords(b, pos, view, r.spans.size(), lastTime, items, spans, why)) {
        r.items.insert(r.items.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
        r.spans.insert(r.spans.end(), spans.begin(), spans.end());
        ++r.chunks;
        pos = view.payloadAt + view.length;
        r.wholeEnd = pos;
        continue;
      }
    }
    // Zeros behind the last chunk are the writer's reserve: the recording
    // was not closed, and nothing is missing.
    if (AllZero(b, pos)) break;
    const size_t next = FindImage(b, pos + 1, lastTime);
    if (next == std::string::npos) {
      r.end = RecordingEnd::Damaged;
      r.problems.push_back("damaged chunk at " + At(pos) + ": " + why + "; no image follows, read up to " + At(pos));
      break;
    }
    r.problems.push_back("damaged chunk at " + At(pos) + ": " + why + "; skipped " + std::to_string(next - pos) +
                         " bytes to the image at " + At(next));
    pos = next;
  }
  if (r.end == RecordingEnd::Open && !r.items.empty() && r.items.back().type == RecordType::Event &&
      r.items.back().event == EventCode::End) {
    r.end = RecordingEnd::Closed;
  }
  return true;
}

bool LoadRecording(const std::string& path, Recording& recording, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "it cannot be opened";
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    error = "it cannot be read";
    return false;
  }
  return ParseRecording(std::move(bytes), recording, error);
}
