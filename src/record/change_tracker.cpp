#include "record/change_tracker.h"

#include <algorithm>

#include "record/record_format.h"

namespace {

// Equal bytes between two changed runs are kept with them when they are
// fewer than a span's header would cost.
constexpr uint32_t JOIN_GAP = SPAN_HEADER_SIZE;
constexpr uint32_t MAX_SPAN = 0xFFFF;

// Appends [from, to) of the space as spans no longer than a span can be.
void AppendRun(std::vector<uint8_t>& payload, const uint8_t* space, uint32_t from, uint32_t to) {
  while (from < to) {
    const uint32_t size = std::min(to - from, MAX_SPAN);
    AppendSpan(payload, static_cast<uint16_t>(from), space + from, static_cast<uint16_t>(size));
    from += size;
  }
}

// Calls run(from, to) for each run of [begin, end) where marked(i) holds,
// runs apart by fewer than JOIN_GAP unmarked bytes taken as one.
template <typename Marked, typename Run>
void ForEachRun(uint32_t begin, uint32_t end, Marked&& marked, Run&& run) {
  uint32_t i = begin;
  while (i < end) {
    while (i < end && !marked(i)) ++i;
    if (i == end) return;
    const uint32_t from = i;
    uint32_t to = i;
    while (i < end) {
      if (marked(i)) {
        to = ++i;
      } else if (i - to + 1 < JOIN_GAP) {
        ++i;
      } else {
        break;
      }
    }
    run(from, to);
  }
}

}  // namespace

ChangeTracker::ChangeTracker() : space_(RECORDED_SPACE_SIZE, 0), known_(RECORDED_SPACE_SIZE, 0) {}

bool ChangeTracker::TakeAnswer(std::vector<uint8_t>& payload, uint32_t offset, const uint8_t* data, uint32_t size) {
  if (offset >= RECORDED_SPACE_SIZE) return false;
  const uint32_t end = offset + std::min(size, RECORDED_SPACE_SIZE - offset);
  bool appended = false;
  ForEachRun(
      offset, end, [&](uint32_t i) { return known_[i] == 0 || space_[i] != data[i - offset]; },
      [&](uint32_t from, uint32_t to) {
        std::copy(data + (from - offset), data + (to - offset), space_.begin() + from);
        std::fill(known_.begin() + from, known_.begin() + to, uint8_t{1});
        AppendRun(payload, space_.data(), from, to);
        appended = true;
      });
  return appended;
}

void ChangeTracker::AppendImage(std::vector<uint8_t>& payload) const {
  ForEachRun(
      0, RECORDED_SPACE_SIZE, [&](uint32_t i) { return known_[i] != 0; },
      [&](uint32_t from, uint32_t to) { AppendRun(payload, space_.data(), from, to); });
}
