#include "bench_support.h"

#include <algorithm>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/server.h"

namespace fs = std::filesystem;

namespace {
fs::path programDirectory;
}

void SetBenchProgram(const char* argv0) { programDirectory = fs::absolute(argv0).parent_path(); }

std::string ProgramBeside(const std::string& name) { return (programDirectory / name).string(); }

namespace {
// The runs' directories, removed when the program ends unless a failed run
// asked to keep them.
struct RunDirectories {
  fs::path root = fs::temp_directory_path() / ("zemsim-bench-" + std::to_string(platform::CurrentProcessId()));
  bool keep = false;
  ~RunDirectories() {
    if (keep) return;
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(), ignored);
    fs::remove_all(root, ignored);
  }
};
RunDirectories runDirectories;
}  // namespace

void KeepRunDirectories() { runDirectories.keep = true; }

std::string FreshRunDirectory(const std::string& name) {
  fs::path directory = runDirectories.root / name;
  std::error_code ignored;
  fs::remove_all(directory, ignored);
  fs::create_directories(directory);
  return directory.string();
}

StreamSimulator::StreamSimulator() {
  ReportCurrentVersions(space);
  platform::SocketHandle listener = platform::TcpListen(0x7F000001, 0);
  if (listener == platform::NO_SOCKET) return;
  port_ = platform::LocalPort(listener);
  std::thread([this, listener] {
    for (;;) {
      platform::SocketHandle connection = platform::TcpAccept(listener);
      if (connection == platform::NO_SOCKET) continue;
      std::thread([this, connection] { ServeStreamConnection(space, connection, stalled_); }).detach();
    }
  }).detach();
}

Spread SpreadOf(std::vector<int64_t> nanoseconds) {
  Spread spread;
  if (nanoseconds.empty()) return spread;
  std::sort(nanoseconds.begin(), nanoseconds.end());
  auto at = [&](double fraction) {
    size_t index = static_cast<size_t>(fraction * static_cast<double>(nanoseconds.size() - 1));
    return static_cast<double>(nanoseconds[index]) / 1000.0;
  };
  spread.p50 = at(0.50);
  spread.p99 = at(0.99);
  spread.max = static_cast<double>(nanoseconds.back()) / 1000.0;
  return spread;
}
