#pragma once
// Reads a recording back, whatever became of the file: a file cut anywhere
// gives everything up to its last whole chunk and says where it was cut; a
// damaged chunk is reported with its byte offset and the reading goes on
// at the next image; a file of another format version is refused.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "record/record_format.h"

// A span of the offset space; its bytes are in the recording's bytes.
struct RecordedSpan {
  uint16_t offset;
  uint16_t size;
  size_t dataAt;
};

struct RecordedItem {
  RecordType type = RecordType::Answers;
  uint32_t timeMs = 0;
  size_t chunkAt = 0;  // where its chunk begins in the file
  // Answers and Image: its spans, from firstSpan on.
  size_t firstSpan = 0;
  size_t spanCount = 0;
  // Write: where it wrote. Write, Plan, Event: the bytes written, the
  // plan's content, what the event carries; in the recording's bytes.
  uint32_t offset = 0;
  size_t dataAt = 0;
  size_t dataSize = 0;
  // Event: its code; a restart's count or a gap's reason in value.
  EventCode event = EventCode::End;
  int32_t value = 0;
  // Image, and the event SimulatorConnected: the link's state.
  LinkState state;
  // Plan: its path; the event ComMgrConnected: the address.
  std::string text;
};

enum class RecordingEnd {
  Closed,   // the recording was closed in order
  Open,     // it ends after a whole chunk, not closed (the node ended, or the file was cut there)
  Cut,      // the file ends inside a chunk
  Damaged,  // it ends at a damaged chunk with no image behind it
};

struct Recording {
  std::vector<uint8_t> bytes;  // the whole file
  RecordingHeader header;
  std::vector<RecordedItem> items;  // in the order they were recorded
  std::vector<RecordedSpan> spans;
  size_t chunks = 0;     // whole chunks read, the header's included
  size_t wholeEnd = 0;   // behind the last whole chunk read
  RecordingEnd end = RecordingEnd::Open;
  // What was found wrong, each line naming its byte offset.
  std::vector<std::string> problems;

  const uint8_t* Data(size_t at) const { return bytes.data() + at; }
};

// False, with the reason as one line, when the bytes are not a recording
// this program can read: not one at all, of another format version, or
// its header cut or damaged. Anything else is read as far as it goes.
bool ParseRecording(std::vector<uint8_t> bytes, Recording& recording, std::string& error);
bool LoadRecording(const std::string& path, Recording& recording, std::string& error);
