#pragma once
// The request list over a TCP stream, to a server named by the setting
// simserver ("HOST:PORT", default 127.0.0.1:9300).
//
// One exchange: the client sends a little-endian u32 L and the L bytes of
// the list (its terminator included); the server answers with a u32 answer
// (1: executed), a u32 length (equal to L) and the executed list.

#include <array>
#include <cstdint>
#include <string>

#include "ipc/transport.h"
#include "platform/platform.h"

inline constexpr const char* DEFAULT_SIM_SERVER = "127.0.0.1:9300";
inline constexpr uint32_t STREAM_OPEN_TIMEOUT_MS = 1000;

// Splits "HOST:PORT"; false when the text is not of that form.
bool ParseSimServer(const char* text, std::string& host, uint16_t& port);

class StreamTransport final : public IpcTransport {
 public:
  IpcResult::Code Open(uint32_t& openCounter, uint8_t*& view) override;
  void Close() override;
  IpcAttempt SendOnce(uint8_t* view, uint32_t length, uint32_t timeoutMs, uint32_t& answer) override;
  std::string Where() const override;
  std::string OpenProblem(uint32_t code) const override;

 private:
  IpcAttempt Connect(uint32_t timeoutMs);
  IpcAttempt Fail(platform::IoStatus status);

  uint32_t address_ = 0;
  uint16_t port_ = 0;
  std::string problem_;  // why the last open failed
  platform::SocketHandle socket_ = platform::NO_SOCKET;
  std::array<uint8_t, IPC_BUFFER_SIZE> view_{};
  std::array<uint8_t, IPC_LIST_LIMIT> reply_{};
};
