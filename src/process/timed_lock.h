#pragma once
// A process-local lock that its holder may take again, with a bounded wait.
// It knows its holder, so that a release by any other thread is refused and
// reported instead of corrupting the lock.

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

class TimedLock {
 public:
  bool Acquire(std::chrono::milliseconds wait) {
    if (!mutex_.try_lock_for(wait)) return false;
    ++depth_;
    owner_.store(std::this_thread::get_id());
    return true;
  }

  // False, and nothing changes, when the calling thread does not hold it.
  bool Release() {
    if (owner_.load() != std::this_thread::get_id()) return false;
    if (--depth_ == 0) owner_.store(std::thread::id());
    mutex_.unlock();
    return true;
  }

 private:
  std::recursive_timed_mutex mutex_;
  std::atomic<std::thread::id> owner_{};
  int depth_ = 0;  // changed only by the holder
};
