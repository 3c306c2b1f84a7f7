#pragma once
// The simulator's offset space as it last answered, and which of its bytes
// it has answered at all: a recording keeps only what an answer changed,
// and every so often an image of everything answered so far.

#include <cstdint>
#include <vector>

class ChangeTracker {
 public:
  ChangeTracker();
  // Takes the answer in and appends a span (record_format.h) for each run of
  // its bytes that differs from what was answered there last (all of them
  // where nothing was yet). Bytes beyond the recorded space are not kept.
  // True when a span was appended.
  bool TakeAnswer(std::vector<uint8_t>& payload, uint32_t offset, const uint8_t* data, uint32_t size);
  // Appends spans of everything answered so far.
  void AppendImage(std::vector<uint8_t>& payload) const;

 private:
  std::vector<uint8_t> space_;
  std::vector<uint8_t> known_;  // 1 where the space holds an answer
};
