#pragma once
// What the benchmarks share: the programs built beside them, and a stand-in
// simulator of the benchmark's own, serving the stream protocol on
// loopback, that notes when each write arrives.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "ipc/server.h"

// Set by main from its own path.
void SetBenchProgram(const char* argv0);
std::string ProgramBeside(const std::string& name);
// A fresh, empty directory for one run.
std::string FreshRunDirectory(const std::string& name);
// Leaves the run directories in place when the program ends (a failed run, to look at).
void KeepRunDirectories();

using BenchClock = std::chrono::steady_clock;
inline int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(BenchClock::now().time_since_epoch()).count();
}

// Serves OffsetSpace over the stream protocol on 127.0.0.1, every
// connection on a thread of its own, for as long as the process runs.
class StreamSimulator {
 public:
  StreamSimulator();
  uint16_t port() const { return port_; }
  std::string endpoint() const { return "127.0.0.1:" + std::to_string(port_); }
  OffsetSpace space;

 private:
  uint16_t port_ = 0;
  std::atomic<bool> stalled_{false};
};

// Percentiles of a set of samples, in microseconds.
struct Spread {
  double p50 = 0, p99 = 0, max = 0;
};
Spread SpreadOf(std::vector<int64_t> nanoseconds);
