#pragma once
// The request list in a named shared buffer, executed by a window message
// to the simulator's server window (Windows; elsewhere the server window is
// never found).

#include <cstdint>

#include "ipc/transport.h"
#include "platform/platform.h"

class WindowTransport final : public IpcTransport {
 public:
  IpcResult::Code Open(uint32_t& openCounter, uint8_t*& view) override;
  void Close() override;
  bool FoundAsLegacyServer() const override { return legacy_; }
  IpcAttempt SendOnce(uint8_t* view, uint32_t length, uint32_t timeoutMs, uint32_t& answer) override;
  std::string Where() const override { return "the server window on this PC (UIPCMAIN, else FS98MAIN)"; }
  std::string OpenProblem(uint32_t code) const override;

 private:
  uintptr_t window_ = 0;
  uint32_t message_ = 0;
  uint16_t atom_ = 0;
  bool legacy_ = false;
  platform::SharedBuffer buffer_;
};
