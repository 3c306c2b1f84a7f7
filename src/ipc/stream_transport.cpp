#include "ipc/stream_transport.h"

#include <chrono>
#include <cstring>

#include "process/settings.h"
#include "wire/bytes.h"

namespace {

uint32_t RemainingMs(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
}

}  // namespace

namespace {
const char* Endpoint() { return Settings.simserver[0] != '\0' ? Settings.simserver : DEFAULT_SIM_SERVER; }
}  // namespace

bool ParseSimServer(const char* text, std::string& host, uint16_t& port) {
  std::string endpoint = text;
  size_t colon = endpoint.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == endpoint.size()) return false;
  uint32_t value = 0;
  for (size_t i = colon + 1; i < endpoint.size(); ++i) {
    if (endpoint[i] < '0' || endpoint[i] > '9') return false;
    value = value * 10 + static_cast<uint32_t>(endpoint[i] - '0');
    if (value > 65535) return false;
  }
  if (value == 0) return false;
  host = endpoint.substr(0, colon);
  port = static_cast<uint16_t>(value);
  return true;
}

IpcAttempt StreamTransport::Fail(platform::IoStatus status) {
  Close();  // the next attempt connects anew
  return status == platform::IoStatus::TimedOut ? IpcAttempt::TimedOut : IpcAttempt::Failed;
}

IpcAttempt StreamTransport::Connect(uint32_t timeoutMs) {
  platform::IoStatus status = platform::IoStatus::Error;
  socket_ = platform::TcpConnect(address_, port_, timeoutMs, status);
  if (socket_ == platform::NO_SOCKET) return Fail(status);
  return IpcAttempt::Delivered;
}

IpcResult::Code StreamTransport::Open(uint32_t& openCounter, uint8_t*& view) {
  std::string host;
  if (!ParseSimServer(Endpoint(), host, port_)) {
    problem_ = std::string("simserver \"") + Endpoint() + "\" is not HOST:PORT";
    return IpcResult::NoServer;
  }
  if (!platform::ResolveIpv4(host.c_str(), address_)) {
    problem_ = "the simulator's host " + host + " cannot be found";
    return IpcResult::NoServer;
  }
  platform::IoStatus status = platform::IoStatus::Error;
  socket_ = platform::TcpConnect(address_, port_, STREAM_OPEN_TIMEOUT_MS, status);
  if (socket_ == platform::NO_SOCKET) {
    problem_ = status == platform::IoStatus::Refused    ? "connection refused at " + Where() + ": nothing listens there"
               : status == platform::IoStatus::TimedOut ? "no answer from " + Where() + " within 1 s"
                                                        : "cannot connect to " + Where();
    return IpcResult::NoServer;
  }
  ++openCounter;
  view = view_.data();
  return IpcResult::Ok;
}

std::string StreamTransport::Where() const { return Endpoint(); }

std::string StreamTransport::OpenProblem(uint32_t code) const {
  // A server that takes the connection and closes it unanswered refuses
  // this PC (a bridge's allow list) or does not speak the protocol.
  if (code == IpcResult::TimedOut || code == IpcResult::SendFailed) return "connection closed by the server at " + Where() + " at once";
  return problem_;
}

void StreamTransport::Close() {
  platform::CloseSocket(socket_);
  socket_ = platform::NO_SOCKET;
}

IpcAttempt StreamTransport::SendOnce(uint8_t* view, uint32_t length, uint32_t timeoutMs, uint32_t& answer) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  if (socket_ == platform::NO_SOCKET) {
    IpcAttempt connected = Connect(timeoutMs);
    if (connected != IpcAttempt::Delivered) return connected;
  }
  uint8_t prefix[4];
  PutU32(prefix, length);
  platform::IoStatus status = platform::SendAll(socket_, prefix, sizeof prefix, RemainingMs(deadline));
  if (status == platform::IoStatus::Ok) status = platform::SendAll(socket_, view, length, RemainingMs(deadline));
  uint8_t header[8];
  if (status == platform::IoStatus::Ok) status = platform::ReceiveAll(socket_, header, sizeof header, RemainingMs(deadline));
  if (status != platform::IoStatus::Ok) return Fail(status);
  if (GetU32(header + 4) != length) return Fail(platform::IoStatus::Error);
  // Into a buffer of its own, so that a broken reply never garbles the list
  // that the next attempt sends again.
  status = platform::ReceiveAll(socket_, reply_.data(), length, RemainingMs(deadline));
  if (status != platform::IoStatus::Ok) return Fail(status);
  std::memcpy(view, reply_.data(), length);
  answer = GetU32(header);
  return IpcAttempt::Delivered;
}
