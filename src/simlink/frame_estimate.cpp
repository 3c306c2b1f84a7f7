#include "simlink/frame_estimate.h"

#include <algorithm>

namespace {
using namespace std::chrono_literals;

// A list sent within this of the last answer went out back to back: it
// waited one whole frame.
constexpr auto BACK_TO_BACK = 2ms;
// Answers faster than this come from a simulator that does not pace its
// lists (or a link that adds that much itself); slower than this are not
// frames but a simulator in trouble.
constexpr auto SHORTEST_FRAME = 5ms;
constexpr auto LONGEST_FRAME = 700ms;
}  // namespace

FrameEstimate::Clock::time_point FrameEstimate::NextFrameEnd(Clock::time_point t) const {
  const auto frames = (t - lastBack_) / period_ + 1;
  return lastBack_ + frames * period_;
}

void FrameEstimate::Observe(Clock::time_point sent, Clock::time_point back) {
  const auto took = back - sent;
  if (seenAny_ && sent - lastBack_ < BACK_TO_BACK) {
    period_ = took >= SHORTEST_FRAME && took <= LONGEST_FRAME ? took : Clock::duration{0};
  } else if (period_ > Clock::duration{0}) {
    // An answer well away from the frame end foreseen: the frames have
    // changed; learn them again.
    const auto foreseen = NextFrameEnd(sent);
    const auto off = back > foreseen ? back - foreseen : foreseen - back;
    if (off > period_ / 2) period_ = Clock::duration{0};
  }
  lastBack_ = back;
  seenAny_ = true;
}

FrameEstimate::Clock::time_point FrameEstimate::SendTime(Clock::time_point now) const {
  if (period_ == Clock::duration{0}) return now;
  // A quarter frame ahead of its end, for the way there.
  return std::max(now, NextFrameEnd(now) - period_ / 4);
}
