#pragma once
// A recording played back: the simulator's offset space as the recording
// shows it at any moment, the images and answers up to that moment
// applied, and the link's state with it.

#include <cstdint>
#include <vector>

#include "record/recording_reader.h"

class ReplayModel {
 public:
  // Told of what a move applies, as it applies it.
  struct Visitor {
    virtual ~Visitor() = default;
    // Bytes of the space that the move changed, with their new values.
    virtual void Changed(uint16_t /*offset*/, const uint8_t* /*data*/, uint16_t /*size*/) {}
    // Every item the move passed, images and answers included.
    virtual void Passed(const RecordedItem& /*item*/) {}
  };

  explicit ReplayModel(const Recording& recording);

  // Brings the space to the moment (ms from the start): every item up to
  // and including it applied. A moment before the one shown starts again
  // from the last image at or before it.
  void MoveTo(uint32_t timeMs, Visitor* visitor = nullptr);
  // The next item's time; false at the end of the recording.
  bool NextTime(uint32_t& timeMs) const;

  const std::vector<uint8_t>& space() const { return space_; }
  const LinkState& state() const { return state_; }
  uint32_t time() const { return time_; }
  // The recording's last moment.
  uint32_t endTime() const;

 private:
  void Apply(const RecordedItem& item, Visitor* visitor);
  void ApplySpans(const RecordedItem& item, Visitor* visitor);

  const Recording& recording_;
  std::vector<uint8_t> space_;
  LinkState state_;
  size_t next_ = 0;
  uint32_t time_ = 0;
};
