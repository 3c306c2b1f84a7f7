#include "ipc/inprocess_transport.h"

IpcResult::Code InProcessTransport::Open(uint32_t& openCounter, uint8_t*& view) {
  if (openCode != IpcResult::Ok) return openCode;
  ++openCounter;
  open_ = true;
  view = view_.data();
  return IpcResult::Ok;
}

IpcAttempt InProcessTransport::SendOnce(uint8_t* view, uint32_t length, uint32_t, uint32_t& reply) {
  ++attempts;
  lastLength = length;
  if (failingAttempts > 0) {
    --failingAttempts;
    return failure;
  }
  space.Execute(view, length);
  if (tamper) tamper(view, length);
  reply = answer;
  return IpcAttempt::Delivered;
}
