#pragma once
// An atomic value inside a record that is otherwise plain data, so that the
// record can still be copied (tests start from a fresh default record).

#include <atomic>

template <typename T>
class CopyableAtomic {
 public:
  constexpr CopyableAtomic(T value = T()) : value_(value) {}
  CopyableAtomic(const CopyableAtomic& other) : value_(other.value_.load()) {}
  CopyableAtomic& operator=(const CopyableAtomic& other) {
    value_.store(other.value_.load());
    return *this;
  }
  CopyableAtomic& operator=(T value) {
    value_.store(value);
    return *this;
  }
  operator T() const { return value_.load(); }
  T exchange(T value) { return value_.exchange(value); }

 private:
  std::atomic<T> value_;
};
