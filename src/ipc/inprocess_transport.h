#pragma once
// The server engine called directly, for unit tests, fuzzing and
// benchmarks: the link's view is executed over an offset space of the
// caller's own, with knobs for the ways a real server fails.

#include <array>
#include <cstdint>
#include <functional>

#include "ipc/link.h"
#include "ipc/server.h"
#include "ipc/transport.h"

class InProcessTransport final : public IpcTransport {
 public:
  IpcResult::Code Open(uint32_t& openCounter, uint8_t*& view) override;
  void Close() override {
    open_ = false;
    if (onClose) onClose();
  }
  bool FoundAsLegacyServer() const override { return legacyServer; }
  IpcAttempt SendOnce(uint8_t* view, uint32_t length, uint32_t timeoutMs, uint32_t& answer) override;
  std::string Where() const override { return "the simulator in this process"; }
  std::string OpenProblem(uint32_t code) const override { return "open code " + std::to_string(code); }

  OffsetSpace space;
  IpcResult::Code openCode = IpcResult::Ok;  // else Open fails with this code
  bool legacyServer = false;
  uint32_t answer = 1;           // what the server answers a delivered list
  uint32_t failingAttempts = 0;  // the next attempts fail ...
  IpcAttempt failure = IpcAttempt::TimedOut;  // ... this way
  // Runs on the executed list before it goes back (a server that misbehaves).
  std::function<void(uint8_t* list, uint32_t length)> tamper;
  // Runs whenever the link closes it (another thread's step at that point).
  std::function<void()> onClose;

  uint32_t attempts = 0;  // every SendOnce
  uint32_t lastLength = 0;
  bool isOpen() const { return open_; }

 private:
  bool open_ = false;
  std::array<uint8_t, IPC_BUFFER_SIZE> view_{};
};
