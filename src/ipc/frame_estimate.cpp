#include "ipc/frame_estimate.h"

#include <algorithm>

namespace {
using namespace std::chrono_literals;
using Duration = FrameEstimate::Clock::duration;

// A list sent within this of the last answer went out back to back: it
// waited for nothing but the simulator.
constexpr auto BACK_TO_BACK = 2ms;
// Answers faster than this come from a simulator that does not pace its
// lists (or a link that adds that much itself); slower than this are not
// frames but a simulator in trouble.
constexpr auto SHORTEST_FRAME = 5ms;
constexpr auto LONGEST_FRAME = 700ms;
// How far from its frame's end an answer may come and still count as that
// end: an eighth of a frame (half the lead a list is sent with), at least a
// millisecond for the scheduler.
constexpr auto LEAST_TOLERANCE = 1ms;

Duration Tolerance(Duration period) { return std::max<Duration>(period / 8, LEAST_TOLERANCE); }
}  // namespace

FrameEstimate::Clock::time_point FrameEstimate::NextFrameEnd(Clock::time_point t) const {
  const auto frames = t < lastBack_ ? 1 : (t - lastBack_) / period_ + 1;
  return lastBack_ + frames * period_;
}

bool FrameEstimate::CameAtFrameEnd(Clock::time_point sent, Clock::time_point back) const {
  const Duration tolerance = Tolerance(period_);
  const auto foreseen = NextFrameEnd(sent);
  if (std::chrono::abs(back - foreseen) <= tolerance) return true;
  // A list that went out in the last moments of a frame may reach the
  // simulator after that frame's end, and is answered at the next one.
  return foreseen - sent <= tolerance && std::chrono::abs(back - (foreseen + period_)) <= tolerance;
}

void FrameEstimate::Learn(Duration took) {
  if (took < SHORTEST_FRAME || took > LONGEST_FRAME) {
    candidate_ = Duration{0};
  } else if (candidate_ > Duration{0} && std::chrono::abs(took - candidate_) <= Tolerance(candidate_)) {
    period_ = (took + candidate_) / 2;
    candidate_ = Duration{0};
  } else {
    candidate_ = took;
  }
}

void FrameEstimate::Observe(Clock::time_point sent, Clock::time_point back) {
  const Duration took = back - sent;
  const bool backToBack = seenAny_ && sent >= lastBack_ && sent - lastBack_ < BACK_TO_BACK;
  if (period_ > Duration{0}) {
    if (!CameAtFrameEnd(sent, back)) {
      period_ = Duration{0};
      candidate_ = Duration{0};
      if (backToBack) Learn(took);
    }
  } else if (backToBack) {
    Learn(took);
  } else if (took < SHORTEST_FRAME) {
    candidate_ = Duration{0};  // a prompt answer: no frame to wait for
  }
  lastBack_ = back;
  seenAny_ = true;
}

FrameEstimate::Clock::time_point FrameEstimate::SendTime(Clock::time_point now) const {
  if (period_ == Duration{0}) return now;
  // A quarter frame ahead of its end, for the way there.
  return std::max(now, NextFrameEnd(now) - period_ / 4);
}
