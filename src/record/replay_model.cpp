#include "record/replay_model.h"

#include <algorithm>
#include <cstring>

ReplayModel::ReplayModel(const Recording& recording) : recording_(recording), space_(RECORDED_SPACE_SIZE, 0) {}

uint32_t ReplayModel::endTime() const { return recording_.items.empty() ? 0 : recording_.items.back().timeMs; }

bool ReplayModel::NextTime(uint32_t& timeMs) const {
  if (next_ >= recording_.items.size()) return false;
  timeMs = recording_.items[next_].timeMs;
  return true;
}

void ReplayModel::MoveTo(uint32_t timeMs, Visitor* visitor) {
  if (timeMs < time_) {
    // Back to the last image at or before the moment, or to the start.
    size_t from = 0;
    for (size_t i = 0; i < recording_.items.size() && recording_.items[i].timeMs <= timeMs; ++i) {
      if (recording_.items[i].type == RecordType::Image) from = i;
    }
    std::vector<uint8_t> before = space_;
    std::fill(space_.begin(), space_.end(), 0);
    state_ = LinkState{};
    next_ = from;
    time_ = timeMs;
    // Told as changes from what was shown, as a forward move would be.
    while (next_ < recording_.items.size() && recording_.items[next_].timeMs <= timeMs) {
      Apply(recording_.items[next_++], nullptr);
    }
    if (visitor == nullptr) return;
    for (size_t i = 0; i < space_.size();) {
      if (space_[i] == before[i]) {
        ++i;
        continue;
      }
      size_t end = i;
      while (end < space_.size() && space_[end] != before[end] && end - i < 0xFFFF) ++end;
      visitor->Changed(static_cast<uint16_t>(i), space_.data() + i, static_cast<uint16_t>(end - i));
      i = end;
    }
    return;
  }
  time_ = timeMs;
  while (next_ < recording_.items.size() && recording_.items[next_].timeMs <= timeMs) {
    Apply(recording_.items[next_++], visitor);
  }
}

void ReplayModel::Apply(const RecordedItem& item, Visitor* visitor) {
  switch (item.type) {
    case RecordType::Image:
      state_ = item.state;
      ApplySpans(item, visitor);
      break;
    case RecordType::Answers:
      ApplySpans(item, visitor);
      break;
    case RecordType::Event:
      if (item.event == EventCode::SimulatorConnected) {
        state_.simulatorConnected = true;
        state_.serverVersion = item.state.serverVersion;
        state_.simulatorVersion = item.state.simulatorVersion;
        state_.where = item.state.where;
      } else if (item.event == EventCode::SimulatorLost) {
        state_.simulatorConnected = false;
      } else if (item.event == EventCode::ComMgrConnected) {
        state_.comMgrConnected = true;
      } else if (item.event == EventCode::ComMgrLost) {
        state_.comMgrConnected = false;
      }
      break;
    case RecordType::Write:
    case RecordType::Plan:
      break;
  }
  if (visitor != nullptr) visitor->Passed(item);
}

void ReplayModel::ApplySpans(const RecordedItem& item, Visitor* visitor) {
  for (size_t s = item.firstSpan; s < item.firstSpan + item.spanCount; ++s) {
    const RecordedSpan& span = recording_.spans[s];
    const uint8_t* data = recording_.Data(span.dataAt);
    uint8_t* space = space_.data() + span.offset;
    // Only the bytes that differ count as changed: an image repeats most of
    // what is shown already.
    for (uint16_t i = 0; i < span.size;) {
      if (space[i] == data[i]) {
        ++i;
        continue;
      }
      uint16_t end = i;
      while (end < span.size && space[end] != data[end]) ++end;
      std::memcpy(space + i, data + i, end - i);
      if (visitor != nullptr) visitor->Changed(static_cast<uint16_t>(span.offset + i), space + i, end - i);
      i = end;
    }
  }
}
