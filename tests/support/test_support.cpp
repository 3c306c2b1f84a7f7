#include "support/test_support.h"

#include <chrono>

StdoutCapture::StdoutCapture() { testing::internal::CaptureStdout(); }

StdoutCapture::~StdoutCapture() {
  if (!taken_) testing::internal::GetCapturedStdout();
}

std::string StdoutCapture::Take() {
  taken_ = true;
  return testing::internal::GetCapturedStdout();
}

bool Eventually(const std::function<bool()>& condition, uint32_t timeoutMs) {
  // Timed by the clock: a condition that takes long itself (a question to
  // a slow peer) must not stretch the time-out.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    platform::SleepMs(20);
  }
}

