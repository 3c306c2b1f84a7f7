#pragma once
// What carries a filled request list to the simulator's server and brings
// the executed list back. The request-list protocol itself is the same over
// every transport (ipc_link.h).

#include <cstdint>
#include <string>

#include "ipc/protocol.h"

enum class IpcAttempt { Delivered, TimedOut, Failed };

class IpcTransport {
 public:
  virtual ~IpcTransport() = default;

  // Finds the server and provides the view the request list is built in.
  // Counts the open counter once it gets as far as naming the buffer.
  // Result: Ok, or why not (NoServer to ViewFailed) after releasing what it took.
  virtual IpcResult::Code Open(uint32_t& openCounter, uint8_t*& view) = 0;

  // Releases everything; safe on a transport that is partly open or closed.
  virtual void Close() = 0;

  // True when the open found the server only under its older window class.
  virtual bool FoundAsLegacyServer() const { return false; }

  // Where the simulator is reached, for the operator ("127.0.0.1:9300").
  virtual std::string Where() const = 0;
  // Why the last Open failed with its code, or why a list of the handshake
  // that followed could not be delivered, in words for the operator.
  virtual std::string OpenProblem(uint32_t code) const = 0;

  // One attempt to have the list (the first length bytes of the view, its
  // terminator included) executed; on delivery the view holds the executed
  // list and answer the server's answer.
  virtual IpcAttempt SendOnce(uint8_t* view, uint32_t length, uint32_t timeoutMs, uint32_t& answer) = 0;
};
