// What the node learns of a simulator's frames from its answers, with the
// times made up: no test here waits for a clock.

#include <algorithm>

#include "ipc/frame_estimate.h"
#include "support/test_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = FrameEstimate::Clock;
using Duration = Clock::duration;

int64_t Ms(Duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

struct Answer {
  int sentMs;
  int backMs;
};

struct FrameCase {
  const char* name;
  std::vector<Answer> answers;  // in order, in ms from an origin
  int periodMs;                 // what is believed (0: nothing)
  int nowMs;
  int sendAtMs;                 // when a list gathered at nowMs goes out
};

class FrameEstimates : public testing::TestWithParam<FrameCase> {};

TEST_P(FrameEstimates, AreBelievedOnlyAsTheAnswersShowThem) {
  const Clock::time_point origin = Clock::now();
  FrameEstimate estimate;
  for (const Answer& answer : GetParam().answers) {
    estimate.Observe(origin + std::chrono::milliseconds(answer.sentMs), origin + std::chrono::milliseconds(answer.backMs));
  }
  EXPECT_EQ(Ms(estimate.period()), GetParam().periodMs);
  EXPECT_EQ(Ms(estimate.SendTime(origin + std::chrono::milliseconds(GetParam().nowMs)) - origin), GetParam().sendAtMs);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrameEstimates,
    testing::Values(
        // 10 frames a second, frames ending at 100, 200, 300 ...
        FrameCase{"TenFramesASecond", {{30, 100}, {100, 200}, {200, 300}}, 100, 310, 375},
        FrameCase{"LateInTheFrameGoesAtOnce", {{30, 100}, {100, 200}, {200, 300}}, 100, 390, 390},
        FrameCase{"OneBackToBackListIsNotEnough", {{30, 100}, {100, 200}}, 0, 210, 210},
        FrameCase{"TwoThatDisagreeAreNotEnough", {{30, 100}, {100, 200}, {200, 240}}, 0, 250, 250},
        FrameCase{"NotBackToBackTeachesNothing", {{30, 100}, {150, 200}, {250, 300}}, 0, 310, 310},
        FrameCase{"APromptAnswerBetweenClearsTheFirst", {{30, 100}, {100, 200}, {250, 251}, {251, 351}}, 0, 360, 360},
        FrameCase{"AnswersAtOnceAreNoFrames", {{0, 1}, {1, 2}, {2, 3}}, 0, 10, 10},
        FrameCase{"KeptWhileAnswersComeWhereForeseen", {{30, 100}, {100, 200}, {200, 300}, {375, 400}, {580, 600}}, 100, 610, 675},
        FrameCase{"KeptWhenAListSentAtTheLastMomentMissesItsEnd", {{30, 100}, {100, 200}, {200, 300}, {398, 500}}, 100, 510, 575},
        // Sent a quarter frame ahead and answered at once: the simulator did
        // not wait for the frame's end.
        FrameCase{"ForgottenWhenAnAnswerComesSooner", {{30, 100}, {100, 200}, {200, 300}, {375, 376}}, 0, 380, 380},
        FrameCase{"ForgottenWhenAnAnswerComesLater", {{30, 100}, {100, 200}, {200, 300}, {375, 430}}, 0, 440, 440},
        FrameCase{"ForgottenWhenFramesEndLessOften", {{30, 100}, {100, 200}, {200, 300}, {375, 500}}, 0, 510, 510},
        FrameCase{"SlowerFramesLearntAgain", {{30, 100}, {100, 200}, {200, 300}, {375, 500}, {500, 700}, {700, 900}}, 200, 910, 1050}),
    RowName());

// A simulator whose answering changes while a client, with the estimate,
// sends it a change every 7 ms, on a clock of the test's own.
struct Phase {
  enum class Answering { AtOnce, Late, Frames } answering;
  int ms;        // how late, or how long its frames are
  int lastsMs;
  int believedMs;  // the frame believed when the phase ends (-1: either)
};

class Client {
 public:
  // Runs the phase; the changes' latencies in its second half, in ms.
  std::vector<double> Run(const Phase& phase) {
    const Duration step = std::chrono::milliseconds(phase.ms);
    const Clock::time_point end = now_ + std::chrono::milliseconds(phase.lastsMs);
    const Clock::time_point settled = now_ + std::chrono::milliseconds(phase.lastsMs / 2);
    std::vector<double> latencies;
    while (now_ < end) {
      if (waiting_.empty()) Arrive(now_ = std::max(now_, nextChange_));
      const Clock::time_point sent = std::max(now_, estimate.SendTime(now_));
      Arrive(sent);
      Clock::time_point back = sent + 100us;
      if (phase.answering == Phase::Answering::Late) back = sent + step;
      if (phase.answering == Phase::Answering::Frames) {
        back = origin_ + ((sent - origin_) / step + 1) * step;
        if (back <= lastFrameTaken_) back = lastFrameTaken_ + step;
        lastFrameTaken_ = back;
      }
      estimate.Observe(sent, back);
      for (Clock::time_point arrived : waiting_) {
        if (arrived >= settled) latencies.push_back(std::chrono::duration<double, std::milli>(back - arrived).count());
      }
      waiting_.clear();
      now_ = back;
      Arrive(now_);  // what came while the list was out
    }
    return latencies;
  }

  FrameEstimate estimate;

 private:
  void Arrive(Clock::time_point until) {
    for (; nextChange_ <= until; nextChange_ += 7ms) waiting_.push_back(nextChange_);
  }

  Clock::time_point origin_ = Clock::now();
  Clock::time_point now_ = origin_;
  Clock::time_point nextChange_ = origin_;
  Clock::time_point lastFrameTaken_{};
  std::vector<Clock::time_point> waiting_;
};

struct ScheduleCase {
  const char* name;
  std::vector<Phase> phases;
};

class ChangingAnswers : public testing::TestWithParam<ScheduleCase> {};

TEST_P(ChangingAnswers, AreFollowed) {
  Client client;
  for (const Phase& phase : GetParam().phases) {
    std::vector<double> latencies = client.Run(phase);
    const std::string where = "in the phase of " + std::to_string(phase.ms) + " ms lasting " + std::to_string(phase.lastsMs);
    const double believed = std::chrono::duration<double, std::milli>(client.estimate.period()).count();
    if (phase.believedMs >= 0) {
      EXPECT_NEAR(believed, phase.believedMs, phase.believedMs / 8.0) << where;
    }
    if (phase.answering == Phase::Answering::Late) continue;
    ASSERT_FALSE(latencies.empty()) << where;
    const double worst = *std::max_element(latencies.begin(), latencies.end());
    const double bound = phase.answering == Phase::Answering::AtOnce ? 1.0 : 1.5 * phase.ms;
    EXPECT_LE(worst, bound) << where;
  }
}

using A = Phase::Answering;
INSTANTIATE_TEST_SUITE_P(
    Schedules, ChangingAnswers,
    testing::Values(
        ScheduleCase{"AHiccupLeavesNoFrameBehind",
                     {{A::AtOnce, 0, 1000, 0}, {A::Late, 40, 1500, -1}, {A::AtOnce, 0, 1000, 0},
                      {A::Late, 120, 1500, -1}, {A::AtOnce, 0, 1000, 0}}},
        ScheduleCase{"FramesThatChange",
                     {{A::Frames, 50, 2000, 50}, {A::Frames, 100, 3000, 100}, {A::AtOnce, 0, 1000, 0},
                      {A::Frames, 50, 2000, 50}, {A::Frames, 17, 2000, 17}, {A::Frames, 100, 3000, 100},
                      {A::Frames, 17, 2000, 17}}},
        ScheduleCase{"APauseBetweenFrames",
                     {{A::Frames, 50, 2000, 50}, {A::Late, 2000, 4000, -1}, {A::Frames, 50, 2000, 50}}}),
    RowName());

}  // namespace
