// What the node learns of a simulator's frames from its answers, with the
// times made up: no test here waits for a clock.

#include "simlink/frame_estimate.h"
#include "support/test_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = FrameEstimate::Clock;

struct Answer {
  int sentMs;
  int backMs;
};

struct FrameCase {
  const char* name;
  std::vector<Answer> answers;  // in order, in ms from an origin
  int periodMs;                 // what is learnt (0: nothing)
  int nowMs;
  int sendAtMs;                 // when a list gathered at nowMs goes out
};

class FrameEstimates : public testing::TestWithParam<FrameCase> {};

TEST_P(FrameEstimates, AreLearntFromListsSentBackToBack) {
  const Clock::time_point origin = Clock::now();
  FrameEstimate estimate;
  for (const Answer& answer : GetParam().answers) {
    estimate.Observe(origin + std::chrono::milliseconds(answer.sentMs), origin + std::chrono::milliseconds(answer.backMs));
  }
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(estimate.period()).count(), GetParam().periodMs);
  const auto sendAt = estimate.SendTime(origin + std::chrono::milliseconds(GetParam().nowMs));
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(sendAt - origin).count(), GetParam().sendAtMs);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrameEstimates,
    testing::Values(
        // 10 frames a second, frames ending at 100, 200, 300 ...
        FrameCase{"TenFramesASecond", {{30, 100}, {100, 200}}, 100, 210, 275},
        FrameCase{"LateInTheFrameGoesAtOnce", {{30, 100}, {100, 200}}, 100, 290, 290},
        FrameCase{"OneListAloneTeachesNothing", {{30, 100}}, 0, 150, 150},
        FrameCase{"NotBackToBackTeachesNothing", {{30, 100}, {150, 200}}, 0, 210, 210},
        FrameCase{"AnswersAtOnceAreNoFrames", {{0, 1}, {1, 2}, {2, 3}}, 0, 10, 10},
        FrameCase{"FramesKeptWhileAnswersComeWhereForeseen", {{30, 100}, {100, 200}, {250, 300}, {480, 500}}, 100, 510, 575},
        FrameCase{"FramesForgottenWhenAnAnswerComesElsewhere", {{30, 100}, {100, 200}, {280, 450}}, 0, 460, 460},
        FrameCase{"SlowerFramesLearntAgain", {{30, 100}, {100, 200}, {200, 400}}, 200, 410, 550}),
    RowName());

}  // namespace
