// POSIX side of the platform layer (Linux first; nothing here is Linux-only
// except the path of the running executable).

#include "platform/platform.h"

#include "platform/sockets_posix.h"

#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <new>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

// ---- Raw keyboard mode -----------------------------------------------------

struct termios savedTerminal;
std::atomic<bool> terminalIsRaw{false};

void RestoreTerminal() {
  if (terminalIsRaw.exchange(false)) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

// The break keys keep their default effect (the process ends); the terminal
// is given back its modes on the way out.
void RestoreTerminalAndReraise(int signalNumber) {
  RestoreTerminal();
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

void EnterRawModeOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    struct termios raw = savedTerminal;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return;
    terminalIsRaw = true;
    std::atexit(RestoreTerminal);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      std::signal(signalNumber, RestoreTerminalAndReraise);
    }
  });
}

// One byte of standard input; -1 at its end or on an error.
int ReadInputByte() {
  for (;;) {
    unsigned char byte = 0;
    ssize_t n = read(STDIN_FILENO, &byte, 1);
    if (n == 1) return byte;
    if (n < 0 && errno == EINTR) continue;
    return -1;
  }
}

std::mutex rootLock;
std::string fileSystemRoot = "/";

// Words of a command line: blanks separate them, double quotes group them.
std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (char c : commandLine) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

}  // namespace

void ConsoleWrite(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

bool DisableQuickEdit() { return true; }  // a POSIX terminal stops nobody for a selection

bool SetConsoleTitleText(const char* title) {
  if (!isatty(STDOUT_FILENO)) return false;
  std::string sequence = std::string("\033]0;") + title + "\007";
  std::fputs(sequence.c_str(), stdout);
  std::fflush(stdout);
  return true;
}

std::string ConsoleTitleText() { return ""; }

int ReadConsoleKey() {
  static std::atomic<bool> ended{false};
  if (ended) return -1;
  EnterRawModeOnce();
  int key = ReadInputByte();
  if (key < 0) ended = true;
  return key;
}

void WaitForInputLine() {
  for (int c = ReadInputByte(); c >= 0 && c != '\n' && c != '\r'; c = ReadInputByte()) {
  }
}

void ShowBlockingNotice(const char* text, const char* caption) {
  std::string notice = std::string(caption) + ": " + text + "\nPress Enter to continue...\n";
  ConsoleWrite(notice.c_str());
  WaitForInputLine();
}

LocalClock LocalTimeNow() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local {};
  localtime_r(&now.tv_sec, &local);
  return {local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(now.tv_nsec / 1000000)};
}

int64_t CalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

void SleepMs(uint32_t milliseconds) {
  struct timespec rest {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

std::string CurrentDirectory() {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer) == nullptr) return {};
  return buffer;
}

bool DirectoryExists(const char* path) {
  struct stat info {};
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

char PathSeparator() { return '/'; }

std::string RootPath(const char* name) {
  std::lock_guard<std::mutex> guard(rootLock);
  return fileSystemRoot + name;
}

void SetFileSystemRoot(const std::string& root) {
  std::lock_guard<std::mutex> guard(rootLock);
  fileSystemRoot = root;
  if (fileSystemRoot.empty() || fileSystemRoot.back() != '/') fileSystemRoot += '/';
}

bool FileLastWriteTime(const char* path, uint64_t& writeTime) {
  // Without O_NONBLOCK a FIFO would hold the caller here until a writer came.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool haveTime = fstat(fd, &info) == 0;
  if (close(fd) != 0 || !haveTime) return false;
  writeTime = static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000ULL + static_cast<uint64_t>(info.st_mtim.tv_nsec);
  return true;
}

std::FILE* OpenRegularFile(const char* path, uint64_t sizeLimit, FileOpenResult& result, uint64_t& size) {
  result = FileOpenResult::Failed;
  size = 0;
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  size = static_cast<uint64_t>(info.st_size);
  if (size > sizeLimit) {
    result = FileOpenResult::TooLarge;
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "r");
  if (file == nullptr) {
    close(fd);
    return nullptr;
  }
  result = FileOpenResult::Opened;
  return file;
}

// POSIX reads every file as its bytes.
void ReadAsBytes(std::FILE*) {}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

namespace {
std::mutex successorLock;
std::vector<std::string> successorArguments;  // empty: no successor asked for

// Every descriptor but the standard three is closed by the coming exec.
void CloseOnExecAboveStandardStreams() {
  if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
  DIR* descriptors = opendir("/proc/self/fd");
  if (descriptors == nullptr) return;
  for (dirent* entry = readdir(descriptors); entry != nullptr; entry = readdir(descriptors)) {
    int fd = std::atoi(entry->d_name);
    if (fd > 2 && fd != dirfd(descriptors)) fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  closedir(descriptors);
}
}  // namespace

bool StartSuccessor(const std::string& commandLine) {
  std::vector<std::string> words = SplitCommandLine(commandLine);
  if (words.empty()) return false;
  std::lock_guard<std::mutex> guard(successorLock);
  successorArguments = std::move(words);
  return true;
}

bool HandOverToSuccessor() {
  std::vector<std::string> words;
  {
    std::lock_guard<std::mutex> guard(successorLock);
    words = successorArguments;
  }
  if (words.empty()) return false;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  RestoreTerminal();
  std::fflush(stdout);
  std::fflush(stderr);
  CloseOnExecAboveStandardStreams();
  execv("/proc/self/exe", argv.data());
  return false;
}

bool StartThread(void (*body)()) {
  struct Start {
    void (*body)();
  };
  Start* start = new (std::nothrow) Start{body};
  if (start == nullptr) return false;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    delete start;
    return false;
  }
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  int result = pthread_create(
      &thread, &attributes,
      [](void* argument) -> void* {
        void (*run)() = static_cast<Start*>(argument)->body;
        delete static_cast<Start*>(argument);
        run();
        return nullptr;
      },
      start);
  pthread_attr_destroy(&attributes);
  if (result != 0) delete start;
  return result == 0;
}

void OnConsoleBreak(void (*handler)()) {
  // Blocked here and in every thread started later; one thread takes them.
  static sigset_t breaks;
  sigemptyset(&breaks);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&breaks, signalNumber);
  pthread_sigmask(SIG_BLOCK, &breaks, nullptr);
  static void (*onBreak)() = handler;
  StartThread([] {
    int taken = 0;
    sigwait(&breaks, &taken);
    onBreak();
  });
}

[[noreturn]] void ExitProcess(int code) {
  RestoreTerminal();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(code);
}

// ---- Sockets -----------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;
using sockets::Fd;
using sockets::Ipv4;
using sockets::OutOfDescriptors;
using sockets::SetNoDelay;

// Waits for the socket to become ready; the remaining time counts down.
// Looks at least once, also when the deadline has passed (a wait of 0 asks
// whether the socket is ready now).
IoStatus WaitReady(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    struct pollfd entry {fd, events, 0};
    int n = ::poll(&entry, 1, static_cast<int>(remaining > 0 ? remaining : 0));
    if (n > 0) return IoStatus::Ok;
    if (n == 0 && remaining <= 0) return IoStatus::TimedOut;
    if (n < 0 && errno != EINTR) return IoStatus::Error;
  }
}

}  // namespace

bool ResolveIpv4(const char* host, uint32_t& address) {
  struct in_addr parsed {};
  if (inet_pton(AF_INET, host, &parsed) == 1) {
    address = ntohl(parsed.s_addr);
    return true;
  }
  struct addrinfo hints {};
  hints.ai_family = AF_INET;
  struct addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  address = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(found);
  return true;
}

SocketHandle TcpConnect(uint32_t address, uint16_t port, uint32_t timeoutMs, IoStatus& status) {
  status = IoStatus::Error;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    if (OutOfDescriptors(errno)) status = IoStatus::NoDescriptors;
    return NO_SOCKET;
  }
  sockaddr_in target = Ipv4(address, port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
    if (errno != EINPROGRESS) {
      if (errno == ECONNREFUSED) status = IoStatus::Refused;
      ::close(fd);
      return NO_SOCKET;
    }
    status = WaitReady(fd, POLLOUT, Clock::now() + std::chrono::milliseconds(timeoutMs));
    int error = 0;
    socklen_t length = sizeof error;
    if (status != IoStatus::Ok || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      if (status == IoStatus::Ok) status = error == ECONNREFUSED ? IoStatus::Refused : IoStatus::Error;
      ::close(fd);
      return NO_SOCKET;
    }
  }
  SetNoDelay(fd);
  status = IoStatus::Ok;
  return fd;
}

uint16_t LocalPort(SocketHandle socket) {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  return ntohs(local.sin_port);
}

IoStatus SendAll(SocketHandle socket, const uint8_t* data, size_t length, uint32_t timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t sent = 0;
  while (sent < length) {
    ssize_t n = ::send(Fd(socket), data + sent, length - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      IoStatus ready = WaitReady(Fd(socket), POLLOUT, deadline);
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
    ssize_t n = ::recv(Fd(socket), data + received, length - received, 0);
    if (n > 0) {
      received += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return IoStatus::Closed;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      IoStatus ready = WaitReady(Fd(socket), POLLIN, deadline);
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
    ssize_t n = ::recv(Fd(socket), data, capacity, 0);
    if (n > 0) {
      received = static_cast<size_t>(n);
      return IoStatus::Ok;
    }
    if (n == 0) return IoStatus::Closed;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return IoStatus::Error;
    IoStatus ready = WaitReady(Fd(socket), POLLIN, deadline);
    if (ready != IoStatus::Ok) return ready;
  }
}

void CloseSocket(SocketHandle socket) {
  if (socket != NO_SOCKET) ::close(Fd(socket));
}

SocketHandle UdpOpen() {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  return fd < 0 ? NO_SOCKET : fd;
}

bool UdpBind(SocketHandle socket, uint32_t address, uint16_t port, bool* addressInUse) {
  sockaddr_in local = Ipv4(address, port);
  bool bound = ::bind(Fd(socket), reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
  if (addressInUse != nullptr) *addressInUse = !bound && errno == EADDRINUSE;
  return bound;
}

void SetBroadcast(SocketHandle socket, int32_t value) {
  setsockopt(Fd(socket), SOL_SOCKET, SO_BROADCAST, &value, sizeof value);
}

void SetReceiveBuffer(SocketHandle socket, int32_t bytes) {
  setsockopt(Fd(socket), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

int UdpSendTo(SocketHandle socket, const uint8_t* data, size_t length, uint32_t address, uint16_t port) {
  sockaddr_in target = Ipv4(address, port);
  ssize_t n = ::sendto(Fd(socket), data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&target), sizeof target);
  return n < 0 ? -1 : static_cast<int>(n);
}

int UdpReceive(SocketHandle socket, uint8_t* buffer, size_t capacity, uint32_t* fromAddress, uint16_t* fromPort) {
  for (;;) {
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    // MSG_TRUNC: the datagram's real length, so that an overlong one is seen.
    ssize_t n = ::recvfrom(Fd(socket), buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || static_cast<size_t>(n) > capacity) return -1;
    if (fromAddress != nullptr) *fromAddress = ntohl(from.sin_addr.s_addr);
    if (fromPort != nullptr) *fromPort = ntohs(from.sin_port);
    return static_cast<int>(n);
  }
}

bool UdpWaitReadable(SocketHandle socket, uint32_t timeoutMs) {
  return WaitReady(Fd(socket), POLLIN, Clock::now() + std::chrono::milliseconds(timeoutMs)) == IoStatus::Ok;
}

bool UdpClose(SocketHandle socket) { return ::close(Fd(socket)) == 0; }

bool LocalHostName(std::string& name) {
  char buffer[512];
  if (gethostname(buffer, sizeof buffer) != 0) return false;
  buffer[sizeof buffer - 1] = '\0';
  name = buffer;
  return true;
}

bool HostAddresses(const char* hostName, std::string& officialName, std::vector<uint32_t>& addresses) {
  struct addrinfo hints {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_CANONNAME;
  struct addrinfo* found = nullptr;
  if (getaddrinfo(hostName, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  officialName = found->ai_canonname != nullptr ? found->ai_canonname : hostName;
  addresses.clear();
  for (struct addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    uint32_t address = ntohl(reinterpret_cast<sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
    bool seen = false;
    for (uint32_t known : addresses) seen = seen || known == address;
    if (!seen) addresses.push_back(address);
  }
  freeaddrinfo(found);
  return true;
}

// ---- Window messages: none on POSIX ------------------------------------------------

bool HasWindowMessaging() { return false; }
uintptr_t FindServerWindow(const char*) { return 0; }
uint32_t RegisterMessageName(const char*) { return 0; }
uint16_t AddGlobalAtom(const char*) { return 0; }
void DeleteGlobalAtom(uint16_t) {}
SharedBufferResult CreateSharedBuffer(const char*, uint32_t, SharedBuffer&) { return SharedBufferResult::CreateFailed; }
void CloseSharedBuffer(SharedBuffer& buffer) { buffer = SharedBuffer{}; }
SendStatus SendBlockingMessage(uintptr_t, uint32_t, uintptr_t, intptr_t, uint32_t, intptr_t&) {
  return SendStatus::Failed;
}

}  // namespace platform
