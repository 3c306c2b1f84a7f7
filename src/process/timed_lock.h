#pragma once
// A process-local lock that its holder may take again, with a bounded wait.
// It knows its holder, so that a release by any other thread is refused and
// reported instead of corrupting the lock. Built on a plain mutex and a
// condition variable, whose waits every thread checker understands.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class TimedLock {
 public:
  bool Acquire(std::chrono::milliseconds wait) {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(state_);
    if (owner_ == self) {
      ++depth_;
      return true;
    }
    if (!released_.wait_for(guard, wait, [this] { return owner_ == std::thread::id(); })) return false;
    owner_ = self;
    depth_ = 1;
    return true;
  }

  // Whether any thread holds it now (a snapshot, for diagnostics).
  bool IsHeld() {
    std::lock_guard<std::mutex> guard(state_);
    return owner_ != std::thread::id();
  }

  // False, and nothing changes, when the calling thread does not hold it.
  bool Release() {
    std::unique_lock<std::mutex> guard(state_);
    if (owner_ != std::this_thread::get_id()) return false;
    if (--depth_ > 0) return true;
    owner_ = std::thread::id();
    guard.unlock();
    released_.notify_one();
    return true;
  }

 private:
  std::mutex state_;  // guards owner_ and depth_, held only for a moment
  std::condition_variable released_;
  std::thread::id owner_{};
  int depth_ = 0;
};
