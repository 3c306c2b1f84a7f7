#pragma once
// What the tools' servers need of the operating system beyond the node's
// own (platform.h): listening sockets and connections kept alive, and the
// serving side of the simulator's server window. One POSIX and one Win32
// implementation, as the rest of the platform layer.

#include <cstdint>

#include "platform/platform.h"

namespace platform {

// A listening TCP socket (port 0: any free port); NO_SOCKET on failure.
SocketHandle TcpListen(uint32_t address, uint16_t port);
// The next connection on a listening socket; blocks. NO_SOCKET on failure,
// with status NoDescriptors when the connection waits for a free one, else
// Error. The peer's IPv4 address (host byte order) when asked for.
SocketHandle TcpAccept(SocketHandle listener, uint32_t* peerAddress = nullptr, IoStatus* status = nullptr);
// Has the system probe a connection that carries nothing for idleSeconds,
// then every intervalSeconds, so that a peer that has lost its power or its
// cable ends the connection (reads fail with Error) instead of holding it
// for good. False when the system refuses.
bool SetKeepAlive(SocketHandle socket, uint32_t idleSeconds, uint32_t intervalSeconds);

// Opens and maps a buffer another process created.
bool OpenSharedBuffer(const char* name, SharedBuffer& buffer);

// Server side: a hidden top-level window of the class that answers the named
// message with the handler's result (given the name of the atom in the first
// parameter and the second parameter). Runs the window's message loop on
// the calling thread for ever; false when the window cannot be made.
using WindowMessageHandler = intptr_t (*)(const char* atomName, intptr_t second, void* context);
bool ServeWindowMessages(const char* className, const char* messageName, WindowMessageHandler handler,
                         void* context);

}  // namespace platform
