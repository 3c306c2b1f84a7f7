// Win32 side of the platform layer.

#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <mstcpip.h>
#include <shellapi.h>

#include "platform/sockets_win32.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>

namespace platform {
namespace {

std::mutex rootLock;
std::string fileSystemRoot = "\\";

bool InputIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// One byte of standard input read as a file or pipe; -1 at its end.
int ReadInputByte() {
  unsigned char byte = 0;
  DWORD got = 0;
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr) || got != 1) return -1;
  return byte;
}

std::string Narrow(const wchar_t* wide) {
  int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow.data(), size, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(size - 1));
  return narrow;
}

}  // namespace

void ConsoleWrite(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

bool DisableQuickEdit() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(input, &mode)) return true;  // no console: nothing to click into
  // Extended flags must be named for the QuickEdit bit to be taken.
  const DWORD wanted = (mode | ENABLE_EXTENDED_FLAGS) & ~static_cast<DWORD>(ENABLE_QUICK_EDIT_MODE);
  if (!SetConsoleMode(input, wanted)) return false;
  DWORD now = 0;
  return GetConsoleMode(input, &now) && (now & ENABLE_QUICK_EDIT_MODE) == 0;
}

bool SetConsoleTitleText(const char* title) {
  int size = MultiByteToWideChar(CP_UTF8, 0, title, -1, nullptr, 0);
  if (size <= 0) return false;
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, title, -1, wide.data(), size);
  return SetConsoleTitleW(wide.c_str()) != 0;
}

std::string ConsoleTitleText() {
  wchar_t wide[512] = {};
  if (GetConsoleTitleW(wide, 512) == 0) return "";
  int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return "";
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
  text.resize(static_cast<size_t>(size - 1));
  return text;
}

int ReadConsoleKey() {
  static std::atomic<bool> ended{false};
  if (ended) return -1;
  int key = InputIsConsole() ? _getch() : ReadInputByte();
  if (key < 0) ended = true;
  return key;
}

void WaitForInputLine() {
  for (int c = ReadInputByte(); c >= 0 && c != '\n' && c != '\r'; c = ReadInputByte()) {
  }
}

void ShowBlockingNotice(const char* text, const char* caption) {
  const char* headless = std::getenv("ZEMSIM_HEADLESS");
  if (headless == nullptr || headless[0] == '\0' || std::strcmp(headless, "0") == 0) {
    MessageBoxA(nullptr, text, caption, MB_OK);
    return;
  }
  std::string notice = std::string(caption) + ": " + text + "\nPress Enter to continue...\n";
  ConsoleWrite(notice.c_str());
  WaitForInputLine();
}

LocalClock LocalTimeNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

int64_t CalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

void SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

std::string CurrentDirectory() {
  char buffer[MAX_PATH * 2];
  DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length);
}

bool DirectoryExists(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

char PathSeparator() { return '\\'; }

std::string RootPath(const char* name) {
  std::lock_guard<std::mutex> guard(rootLock);
  return fileSystemRoot + name;
}

void SetFileSystemRoot(const std::string& root) {
  std::lock_guard<std::mutex> guard(rootLock);
  fileSystemRoot = root;
  if (fileSystemRoot.empty() || (fileSystemRoot.back() != '\\' && fileSystemRoot.back() != '/')) fileSystemRoot += '\\';
}

bool FileLastWriteTime(const char* path, uint64_t& writeTime) {
  // A folder has a time too; the open of its contents is what refuses it.
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME lastWrite{};
  bool haveTime = GetFileTime(file, nullptr, nullptr, &lastWrite) != 0;
  if (!CloseHandle(file) || !haveTime) return false;
  writeTime = (static_cast<uint64_t>(lastWrite.dwHighDateTime) << 32) | lastWrite.dwLowDateTime;
  return true;
}

std::FILE* OpenRegularFile(const char* path, uint64_t sizeLimit, FileOpenResult& result, uint64_t& size) {
  result = FileOpenResult::Failed;
  size = 0;
  // Shared as the runtime's own fopen shares it. A folder does not open
  // without backup semantics; a pipe or a device is not of the disk type.
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION information{};
  LARGE_INTEGER length{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !GetFileSizeEx(handle, &length)) {
    CloseHandle(handle);
    return nullptr;
  }
  size = static_cast<uint64_t>(length.QuadPart);
  if (size > sizeLimit) {
    result = FileOpenResult::TooLarge;
    CloseHandle(handle);
    return nullptr;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_TEXT);
  if (fd == -1) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "r");
  if (file == nullptr) {
    _close(fd);  // closes the handle too
    return nullptr;
  }
  result = FileOpenResult::Opened;
  return file;
}

void ReadAsBytes(std::FILE* file) { _setmode(_fileno(file), _O_BINARY); }

std::vector<std::string> CommandLineArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return arguments;
}

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

namespace {
std::atomic<bool> successorStarted{false};
}

bool StartSuccessor(const std::string& commandLine) {
  std::string mutableLine = commandLine;  // CreateProcessA may write into it
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  successorStarted = true;
  return true;
}

bool HandOverToSuccessor() { return successorStarted; }

bool StartThread(void (*body)()) {
  struct Start {
    void (*body)();
  };
  Start* start = new (std::nothrow) Start{body};
  if (start == nullptr) return false;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID argument) -> DWORD {
        void (*run)() = static_cast<Start*>(argument)->body;
        delete static_cast<Start*>(argument);
        run();
        return 0;
      },
      start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    return false;
  }
  CloseHandle(thread);
  return true;
}

namespace {
std::atomic<void (*)()> breakHandler{nullptr};
}

void OnConsoleBreak(void (*handler)()) {
  breakHandler = handler;
  SetConsoleCtrlHandler(
      [](DWORD) -> BOOL {
        if (void (*onBreak)() = breakHandler.load()) onBreak();
        return TRUE;
      },
      TRUE);
}

[[noreturn]] void ExitProcess(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  ::ExitProcess(static_cast<UINT>(code));
}

// ---- Sockets -----------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;
using sockets::Ipv4;
using sockets::OutOfDescriptors;
using sockets::PrepareConnected;
using sockets::Raw;
using sockets::StartWinsock;

// Looks at least once, also when the deadline has passed (a wait of 0 asks
// whether the socket is ready now).
IoStatus WaitReady(SOCKET socket, short events, Clock::time_point deadline) {
  auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  WSAPOLLFD entry{socket, events, 0};
  int n = WSAPoll(&entry, 1, static_cast<INT>(remaining > 0 ? remaining : 0));
  if (n > 0) return IoStatus::Ok;
  return n == 0 ? IoStatus::TimedOut : IoStatus::Error;
}

}  // namespace

bool ResolveIpv4(const char* host, uint32_t& address) {
  StartWinsock();
  in_addr parsed{};
  if (inet_pton(AF_INET, host, &parsed) == 1) {
    address = ntohl(parsed.s_addr);
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  address = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(found);
  return true;
}

SocketHandle TcpConnect(uint32_t address, uint16_t port, uint32_t timeoutMs, IoStatus& status) {
  StartWinsock();
  status = IoStatus::Error;
  SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) {
    if (OutOfDescriptors(WSAGetLastError())) status = IoStatus::NoDescriptors;
    return NO_SOCKET;
  }
  PrepareConnected(socket);
  sockaddr_in target = Ipv4(address, port);
  if (::connect(socket, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
      closesocket(socket);
      return NO_SOCKET;
    }
    status = WaitReady(socket, POLLOUT, Clock::now() + std::chrono::milliseconds(timeoutMs));
    int error = 0;
    int length = sizeof error;
    if (status != IoStatus::Ok ||
        getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 || error != 0) {
      if (status == IoStatus::Ok) status = error == WSAECONNREFUSED ? IoStatus::Refused : IoStatus::Error;
      closesocket(socket);
      return NO_SOCKET;
    }
  }
  status = IoStatus::Ok;
  return static_cast<SocketHandle>(socket);
}

uint16_t LocalPort(SocketHandle socket) {
  sockaddr_in local{};
  int length = sizeof local;
  if (getsockname(Raw(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  return ntohs(local.sin_port);
}

IoStatus SendAll(SocketHandle socket, const uint8_t* data, size_t length, uint32_t timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t sent = 0;
  while (sent < length) {
    int n = ::send(Raw(socket), reinterpret_cast<const char*>(data + sent), static_cast<int>(length - sent), 0);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
      IoStatus ready = WaitReady(Raw(socket), POLLWRNORM, deadline);
      if (ready != IoStatus::Ok) return ready;
      continue;
    }
    return IoStatus::Error;
  }
  return IoStatus::Ok;
}

IoStatus ReceiveAll(SocketHandle socket, uint8_t* data, size_t length, uint32_t timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t received = 0;
  while (received < length) {
    int n = ::recv(Raw(socket), reinterpret_cast<char*>(data + received), static_cast<int>(length - received), 0);
    if (n > 0) {
      received += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return IoStatus::Closed;
    if (WSAGetLastError() == WSAEWOULDBLOCK) {
      IoStatus ready = WaitReady(Raw(socket), POLLRDNORM, deadline);
      if (ready != IoStatus::Ok) return ready;
      continue;
    }
    return IoStatus::Error;
  }
  return IoStatus::Ok;
}

IoStatus ReceiveSome(SocketHandle socket, uint8_t* data, size_t capacity, uint32_t timeoutMs, size_t& received) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  received = 0;
  for (;;) {
    int n = ::recv(Raw(socket), reinterpret_cast<char*>(data), static_cast<int>(capacity), 0);
    if (n > 0) {
      received = static_cast<size_t>(n);
      return IoStatus::Ok;
    }
    if (n == 0) return IoStatus::Closed;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return IoStatus::Error;
    IoStatus ready = WaitReady(Raw(socket), POLLRDNORM, deadline);
    if (ready != IoStatus::Ok) return ready;
  }
}

void CloseSocket(SocketHandle socket) {
  if (socket != NO_SOCKET) closesocket(Raw(socket));
}

SocketHandle UdpOpen() {
  StartWinsock();
  SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  return socket == INVALID_SOCKET ? NO_SOCKET : static_cast<SocketHandle>(socket);
}

bool UdpBind(SocketHandle socket, uint32_t address, uint16_t port, bool* addressInUse) {
  sockaddr_in local = Ipv4(address, port);
  bool bound = ::bind(Raw(socket), reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
  if (addressInUse != nullptr) *addressInUse = !bound && WSAGetLastError() == WSAEADDRINUSE;
  return bound;
}

void SetBroadcast(SocketHandle socket, int32_t value) {
  setsockopt(Raw(socket), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&value), sizeof value);
}

void SetReceiveBuffer(SocketHandle socket, int32_t bytes) {
  setsockopt(Raw(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

int UdpSendTo(SocketHandle socket, const uint8_t* data, size_t length, uint32_t address, uint16_t port) {
  sockaddr_in target = Ipv4(address, port);
  int n = ::sendto(Raw(socket), reinterpret_cast<const char*>(data), static_cast<int>(length), 0,
                   reinterpret_cast<sockaddr*>(&target), sizeof target);
  return n == SOCKET_ERROR ? -1 : n;
}

int UdpReceive(SocketHandle socket, uint8_t* buffer, size_t capacity, uint32_t* fromAddress, uint16_t* fromPort) {
  sockaddr_in from{};
  int fromLength = sizeof from;
  // An overlong datagram is an error here (WSAEMSGSIZE), never silently cut.
  int n = ::recvfrom(Raw(socket), reinterpret_cast<char*>(buffer), static_cast<int>(capacity), 0,
                     reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (n == SOCKET_ERROR) return -1;
  if (fromAddress != nullptr) *fromAddress = ntohl(from.sin_addr.s_addr);
  if (fromPort != nullptr) *fromPort = ntohs(from.sin_port);
  return n;
}

bool UdpWaitReadable(SocketHandle socket, uint32_t timeoutMs) {
  return WaitReady(Raw(socket), POLLRDNORM, Clock::now() + std::chrono::milliseconds(timeoutMs)) == IoStatus::Ok;
}

bool UdpClose(SocketHandle socket) { return closesocket(Raw(socket)) == 0; }

bool LocalHostName(std::string& name) {
  StartWinsock();
  char buffer[512];
  if (gethostname(buffer, sizeof buffer) != 0) return false;
  buffer[sizeof buffer - 1] = '\0';
  name = buffer;
  return true;
}

bool HostAddresses(const char* hostName, std::string& officialName, std::vector<uint32_t>& addresses) {
  StartWinsock();
  hostent* entry = gethostbyname(hostName);
  if (entry == nullptr || entry->h_addrtype != AF_INET) return false;
  officialName = entry->h_name != nullptr ? entry->h_name : hostName;
  addresses.clear();
  for (char** address = entry->h_addr_list; *address != nullptr; ++address) {
    addresses.push_back(ntohl(*reinterpret_cast<const uint32_t*>(*address)));
  }
  return true;
}

// ---- Window messages and shared buffers --------------------------------------------

bool HasWindowMessaging() { return true; }

uintptr_t FindServerWindow(const char* className) {
  return reinterpret_cast<uintptr_t>(FindWindowExA(nullptr, nullptr, className, nullptr));
}

uint32_t RegisterMessageName(const char* name) { return RegisterWindowMessageA(name); }

uint16_t AddGlobalAtom(const char* name) { return GlobalAddAtomA(name); }

void DeleteGlobalAtom(uint16_t atom) { GlobalDeleteAtom(atom); }

SharedBufferResult CreateSharedBuffer(const char* name, uint32_t size, SharedBuffer& buffer) {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
  if (mapping == nullptr) return SharedBufferResult::CreateFailed;
  buffer.mapping = reinterpret_cast<uintptr_t>(mapping);
  if (GetLastError() == ERROR_ALREADY_EXISTS) return SharedBufferResult::AlreadyExists;
  buffer.view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  return buffer.view != nullptr ? SharedBufferResult::Ok : SharedBufferResult::MapFailed;
}

void CloseSharedBuffer(SharedBuffer& buffer) {
  if (buffer.view != nullptr) UnmapViewOfFile(buffer.view);
  if (buffer.mapping != 0) CloseHandle(reinterpret_cast<HANDLE>(buffer.mapping));
  buffer = SharedBuffer{};
}

SendStatus SendBlockingMessage(uintptr_t window, uint32_t message, uintptr_t first, intptr_t second,
                               uint32_t timeoutMs, intptr_t& answer) {
  DWORD_PTR result = 0;
  SetLastError(0);
  if (SendMessageTimeoutA(reinterpret_cast<HWND>(window), message, first, second, SMTO_BLOCK, timeoutMs, &result) !=
      0) {
    answer = static_cast<intptr_t>(result);
    return SendStatus::Delivered;
  }
  DWORD error = GetLastError();
  return error == 0 || error == ERROR_TIMEOUT ? SendStatus::TimedOut : SendStatus::Failed;
}

}  // namespace platform
