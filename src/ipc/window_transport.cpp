#include "ipc/window_transport.h"

#include "process/text.h"

IpcResult::Code WindowTransport::Open(uint32_t& openCounter, uint8_t*& view) {
  legacy_ = false;
  window_ = platform::FindServerWindow("UIPCMAIN");
  if (window_ == 0) {
    window_ = platform::FindServerWindow("FS98MAIN");
    legacy_ = true;
  }
  if (window_ == 0) return IpcResult::NoServer;
  message_ = platform::RegisterMessageName("FsasmLib:IPC");
  if (message_ == 0) return IpcResult::MessageNotRegistered;

  ++openCounter;
  char name[260];
  FormatText(name, sizeof name, "FsasmLib:IPC:%X:%X", platform::CurrentProcessId(), openCounter);
  atom_ = platform::AddGlobalAtom(name);
  if (atom_ == 0) {
    Close();
    return IpcResult::AtomFailed;
  }
  switch (platform::CreateSharedBuffer(name, IPC_BUFFER_SIZE, buffer_)) {
    case platform::SharedBufferResult::Ok:
      view = buffer_.view;
      return IpcResult::Ok;
    case platform::SharedBufferResult::MapFailed:
      Close();
      return IpcResult::ViewFailed;
    default:
      Close();
      return IpcResult::MappingFailed;
  }
}

std::string WindowTransport::OpenProblem(uint32_t code) const {
  switch (code) {
    case IpcResult::NoServer:
      return "no server window (UIPCMAIN or FS98MAIN) on this PC: is the simulator running, with its interface module?";
    case IpcResult::TimedOut:
    case IpcResult::SendFailed:
      return "the server window did not answer";
    default:
      return "the server window's message or shared buffer could not be set up (code " + std::to_string(code) + ")";
  }
}

void WindowTransport::Close() {
  window_ = 0;
  message_ = 0;
  if (atom_ != 0) platform::DeleteGlobalAtom(atom_);
  atom_ = 0;
  platform::CloseSharedBuffer(buffer_);
}

IpcAttempt WindowTransport::SendOnce(uint8_t*, uint32_t, uint32_t timeoutMs, uint32_t& answer) {
  intptr_t result = 0;
  switch (platform::SendBlockingMessage(window_, message_, atom_, 0, timeoutMs, result)) {
    case platform::SendStatus::Delivered:
      answer = static_cast<uint32_t>(result);
      return IpcAttempt::Delivered;
    case platform::SendStatus::TimedOut:
      return IpcAttempt::TimedOut;
    default:
      return IpcAttempt::Failed;
  }
}
