// Win32 side of what servers need: listening sockets, keep-alive, and the
// simulator's server window with its shared buffers.

#include "platform/server.h"

#include "platform/sockets_win32.h"
#include <mstcpip.h>

namespace platform {

using sockets::Ipv4;
using sockets::OutOfDescriptors;
using sockets::PrepareConnected;
using sockets::Raw;
using sockets::StartWinsock;

SocketHandle TcpListen(uint32_t address, uint16_t port) {
  StartWinsock();
  SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) return NO_SOCKET;
  sockaddr_in local = Ipv4(address, port);
  if (::bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || ::listen(socket, 16) != 0) {
    closesocket(socket);
    return NO_SOCKET;
  }
  return static_cast<SocketHandle>(socket);
}

SocketHandle TcpAccept(SocketHandle listener, uint32_t* peerAddress, IoStatus* status) {
  sockaddr_in peer{};
  int length = sizeof peer;
  SOCKET socket = ::accept(Raw(listener), reinterpret_cast<sockaddr*>(&peer), &length);
  if (socket == INVALID_SOCKET) {
    if (status != nullptr) *status = OutOfDescriptors(WSAGetLastError()) ? IoStatus::NoDescriptors : IoStatus::Error;
    return NO_SOCKET;
  }
  if (peerAddress != nullptr) *peerAddress = ntohl(peer.sin_addr.s_addr);
  PrepareConnected(socket);
  if (status != nullptr) *status = IoStatus::Ok;
  return static_cast<SocketHandle>(socket);
}

bool SetKeepAlive(SocketHandle socket, uint32_t idleSeconds, uint32_t intervalSeconds) {
  tcp_keepalive values{};
  values.onoff = 1;
  values.keepalivetime = idleSeconds * 1000;
  values.keepaliveinterval = intervalSeconds * 1000;
  DWORD returned = 0;
  return WSAIoctl(Raw(socket), SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr,
                  nullptr) == 0;
}

bool OpenSharedBuffer(const char* name, SharedBuffer& buffer) {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  if (mapping == nullptr) return false;
  buffer.mapping = reinterpret_cast<uintptr_t>(mapping);
  buffer.view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  if (buffer.view == nullptr) {
    CloseSharedBuffer(buffer);
    return false;
  }
  return true;
}

namespace {
struct WindowServer {
  UINT message = 0;
  WindowMessageHandler handler = nullptr;
  void* context = nullptr;
};
WindowServer windowServer;

LRESULT CALLBACK ServerWindowProcedure(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == windowServer.message && windowServer.message != 0) {
    char atomName[260] = "";
    GlobalGetAtomNameA(static_cast<ATOM>(first), atomName, sizeof atomName);
    return windowServer.handler(atomName, second, windowServer.context);
  }
  return DefWindowProcA(window, message, first, second);
}
}  // namespace

bool ServeWindowMessages(const char* className, const char* messageName, WindowMessageHandler handler,
                         void* context) {
  windowServer = {RegisterWindowMessageA(messageName), handler, context};
  if (windowServer.message == 0) return false;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ServerWindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className;
  if (RegisterClassA(&windowClass) == 0) return false;
  HWND window = CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return false;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

}  // namespace platform
