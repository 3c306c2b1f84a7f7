#include "fg_props.h"

#include <chrono>

bool FgProps::Connect(uint32_t address, uint16_t port, std::string& problem) {
  Close();
  platform::IoStatus status = platform::IoStatus::Error;
  socket_ = platform::TcpConnect(address, port, 2000, status);
  if (socket_ == platform::NO_SOCKET) {
    problem = status == platform::IoStatus::Refused ? "connection refused" : "no answer";
    return false;
  }
  pending_.clear();
  // Values without their type and quotes, no prompt between answers.
  if (!Send("data\r\n")) {
    problem = "closed at once";
    return false;
  }
  return true;
}

void FgProps::Close() {
  platform::CloseSocket(socket_);
  socket_ = platform::NO_SOCKET;
}

bool FgProps::Send(const std::string& text) {
  if (socket_ == platform::NO_SOCKET) return false;
  if (platform::SendAll(socket_, reinterpret_cast<const uint8_t*>(text.data()), text.size(), 2000) ==
      platform::IoStatus::Ok) {
    return true;
  }
  Close();
  return false;
}

bool FgProps::ReadLine(std::string& line, uint32_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || socket_ == platform::NO_SOCKET) break;
    uint8_t buffer[8192];
    size_t received = 0;
    if (platform::ReceiveSome(socket_, buffer, sizeof buffer, static_cast<uint32_t>(left.count()), received) !=
        platform::IoStatus::Ok) {
      break;
    }
    pending_.append(reinterpret_cast<const char*>(buffer), received);
  }
  Close();
  return false;
}

bool FgProps::GetAll(const std::vector<std::string>& paths, std::vector<std::string>& values, uint32_t timeoutMs) {
  std::string requests;
  for (const std::string& path : paths) requests += "get " + path + "\r\n";
  if (!Send(requests)) return false;
  values.resize(paths.size());
  for (std::string& value : values) {
    if (!ReadLine(value, timeoutMs)) return false;
  }
  return true;
}

bool FgProps::List(const std::string& path, std::vector<std::string>& children, uint32_t timeoutMs) {
  children.clear();
  if (!Send("ls " + path + "\r\n")) return false;
  for (std::string line; ReadLine(line, timeoutMs);) {
    if (line.empty()) return true;
    if (line.back() == '/') line.pop_back();
    children.push_back(line);
  }
  return false;
}

bool FgProps::Set(const std::string& path, const std::string& value) { return Send("set " + path + " " + value + "\r\n"); }
