#pragma once
// A simulator that serves request lists inside its frame loop answers each
// list at the end of a frame. Learnt from the lists themselves: how long its
// frames are, and when the next one ends, so that a list can wait to go out
// until just before it and take along whatever came meanwhile, instead of
// going out at once and leaving later requests a whole frame behind.
//
// Believing in frames that are not there costs a frame on every list, for
// good; missing frames that are there costs at most one frame, once. So the
// estimate believes only what the simulator shows: a frame is learnt from
// two lists in a row that went out back to back and took the same time (a
// list that waited for nothing but the simulator), and forgotten at the
// first answer that comes anywhere but at a frame end foreseen, above all
// one that comes sooner. A wait the estimate chose itself is never taken
// as evidence of a frame.

#include <chrono>

class FrameEstimate {
 public:
  using Clock = std::chrono::steady_clock;

  // A list went out at `sent` and was back at `back`.
  void Observe(Clock::time_point sent, Clock::time_point back);
  // When a list gathered now should go out to be answered at the same
  // frame's end as one sent now: now itself while no frame is known.
  Clock::time_point SendTime(Clock::time_point now) const;
  // The frame believed; zero while none is (a simulator that answers at
  // once, or one not yet seen taking the same frame twice).
  Clock::duration period() const { return period_; }
  void Forget() { *this = FrameEstimate{}; }

 private:
  // The first frame end after `t`, counted from the last answer.
  Clock::time_point NextFrameEnd(Clock::time_point t) const;
  // Whether an answer to a list sent at `sent` came back where the frames
  // believed say it must.
  bool CameAtFrameEnd(Clock::time_point sent, Clock::time_point back) const;
  void Learn(Clock::duration took);

  Clock::duration period_{0};
  // A first back-to-back list's time, waiting for a second to agree.
  Clock::duration candidate_{0};
  Clock::time_point lastBack_{};
  bool seenAny_ = false;
};
