#include "fg_props.h"

#include <chrono>

bool FgProps::Connect(uint32_t address, uint16_t port, size_t gets, std::string& problem) {
  Close();
  const size_t count = gets / GETS_PER_LANE + 1;
  for (size_t i = 0; i < count; ++i) {
    platform::IoStatus status = platform::IoStatus::Error;
    Lane lane;
    lane.socket = platform::TcpConnect(address, port, 2000, status);
    if (lane.socket == platform::NO_SOCKET) {
      problem = status == platform::IoStatus::Refused    ? "connection refused"
                : status == platform::IoStatus::TimedOut ? "no answer"
                : status == platform::IoStatus::NoDescriptors
                    ? "this bridge is out of descriptors (too many connections or files open)"
                    : "the connection failed";
      Close();
      return false;
    }
    lanes_.push_back(lane);
    // Values without their type and quotes, no prompt between answers.
    if (!Send(lanes_.back(), "data\r\n")) {
      problem = "closed at once";
      Close();
      return false;
    }
  }
  return true;
}

void FgProps::Close() {
  for (Lane& lane : lanes_) platform::CloseSocket(lane.socket);
  lanes_.clear();
}

bool FgProps::Send(Lane& lane, const std::string& text) {
  return platform::SendAll(lane.socket, reinterpret_cast<const uint8_t*>(text.data()), text.size(), 2000) ==
         platform::IoStatus::Ok;
}

bool FgProps::ReadLine(Lane& lane, std::string& line, uint32_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t end = lane.pending.find('\n');
    if (end != std::string::npos) {
      line = lane.pending.substr(0, end);
      lane.pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    uint8_t buffer[8192];
    size_t received = 0;
    if (platform::ReceiveSome(lane.socket, buffer, sizeof buffer, static_cast<uint32_t>(left.count()), received) !=
        platform::IoStatus::Ok) {
      return false;
    }
    lane.pending.append(reinterpret_cast<const char*>(buffer), received);
  }
}

bool FgProps::GetAll(const std::vector<std::string>& paths, std::vector<std::string>& values, uint32_t timeoutMs) {
  return SendGets(paths) && ReceiveGets(paths.size(), values, timeoutMs);
}

// Path i goes on lane i mod lanes.
bool FgProps::SendGets(const std::vector<std::string>& paths) {
  if (lanes_.empty()) return false;
  std::vector<std::string> requests(lanes_.size());
  for (size_t i = 0; i < paths.size(); ++i) requests[i % lanes_.size()] += "get " + paths[i] + "\r\n";
  for (size_t lane = 0; lane < lanes_.size(); ++lane) {
    if (!requests[lane].empty() && !Send(lanes_[lane], requests[lane])) {
      Close();
      return false;
    }
  }
  return true;
}

bool FgProps::ReceiveGets(size_t count, std::vector<std::string>& values, uint32_t timeoutMs) {
  if (lanes_.empty()) return false;
  values.assign(count, {});
  for (size_t lane = 0; lane < lanes_.size(); ++lane) {
    for (size_t i = lane; i < count; i += lanes_.size()) {
      if (!ReadLine(lanes_[lane], values[i], timeoutMs)) {
        Close();
        return false;
      }
    }
  }
  return true;
}

bool FgProps::List(const std::string& path, std::vector<std::string>& children, uint32_t timeoutMs) {
  children.clear();
  if (lanes_.empty()) return false;
  // A listing has no end of its own: the empty answer for a property that
  // does not exist marks it (no child has an empty name).
  if (!Send(lanes_[0], "ls " + path + "\r\nget /fgbridge/end-of-listing\r\n")) {
    Close();
    return false;
  }
  for (std::string line; ReadLine(lanes_[0], line, timeoutMs);) {
    if (line.empty()) return true;
    if (line.back() == '/') line.pop_back();
    children.push_back(line);
  }
  Close();
  return false;
}

bool FgProps::Set(const std::string& path, const std::string& value) {
  if (lanes_.empty()) return false;
  if (Send(lanes_[0], "set " + path + " " + value + "\r\n")) return true;
  Close();
  return false;
}
