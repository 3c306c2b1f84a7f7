#include "simlink/ipc_inprocess_transport.h"

#include "simlink/sim_connection.h"
#include "wire/bytes.h"

uint32_t InProcessTransport::Open(uint32_t& openCounter, uint8_t*& view) {
  if (openCode != 0) return openCode;
  ++openCounter;
  open_ = true;
  view = view_.data();
  return 0;
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

uint32_t ConnectInProcess(InProcessTransport& server) {
  uint8_t versions[8];
  PutU32(versions, 0x40000000);               // the server's version
  PutU32(versions + 4, (0xFADEu << 16) | 13);  // check pattern and simulator version
  server.space.Write(0x3304, versions, sizeof versions);
  server.space.SetReadOnly(0x3304, 8);  // the client's version write must not change them
  SetIpcTransport(&server);
  if (FsuipcLock == nullptr) InitSimulatorLink();
  return FSUIPCConnect();
}
