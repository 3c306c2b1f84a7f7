#pragma once
// A simulator that serves request lists inside its frame loop answers each
// list at the end of a frame. Learnt from the lists themselves: how long its
// frames are, and when the next one ends, so that a list can wait to go out
// until just before it and take along whatever came meanwhile, instead of
// going out at once and leaving later requests a whole frame behind.

#include <chrono>

class FrameEstimate {
 public:
  using Clock = std::chrono::steady_clock;

  // A list went out at `sent` and was back at `back`.
  void Observe(Clock::time_point sent, Clock::time_point back);
  // When a list gathered now should go out to be answered at the same
  // frame's end as one sent now: now itself while no frame is known.
  Clock::time_point SendTime(Clock::time_point now) const;
  // The frame learnt; zero while none is known (a simulator that answers
  // at once, or one not yet seen answering two lists back to back).
  Clock::duration period() const { return period_; }
  void Forget() { *this = FrameEstimate{}; }

 private:
  // The first frame end after `t`, counted from the last answer.
  Clock::time_point NextFrameEnd(Clock::time_point t) const;

  Clock::duration period_{0};
  Clock::time_point lastBack_{};
  bool seenAny_ = false;
};
