// POSIX side of the platform layer (Linux first; nothing here is Linux-only
// except the path of the running executable).

#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include <fcntl.h>
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
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool haveTime = fstat(fd, &info) == 0;
  if (close(fd) != 0 || !haveTime) return false;
  writeTime = static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000ULL + static_cast<uint64_t>(info.st_mtim.tv_nsec);
  return true;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

void SetEnvironmentValue(const char* name, const char* value) { setenv(name, value, 1); }

bool StartDetachedProcess(const std::string& commandLine) {
  std::vector<std::string> words = SplitCommandLine(commandLine);
  if (words.empty()) return false;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return false;
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t child = 0;
  int result = posix_spawn(&child, "/proc/self/exe", nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  return result == 0;
}

int ReportedExitCode(int code) { return code & 0xFF; }

bool SpawnProcess(const std::vector<std::string>& arguments, const std::string& directory,
                  const std::string& outputFile, ChildProcess& child) {
  if (arguments.empty()) return false;
  std::vector<std::string> words = arguments;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  std::fflush(stdout);
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    int input = open("/dev/null", O_RDONLY);
    if (input >= 0) dup2(input, STDIN_FILENO);
    if (!outputFile.empty()) {
      int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (output >= 0) {
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
      }
    }
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  child.id = pid;
  return true;
}

bool WaitProcess(ChildProcess& child, uint32_t timeoutMs, int& exitCode) {
  if (child.id == 0) return false;
  for (uint32_t waited = 0;; waited += 10) {
    int status = 0;
    pid_t result = waitpid(static_cast<pid_t>(child.id), &status, WNOHANG);
    if (result == static_cast<pid_t>(child.id)) {
      exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      child.id = 0;
      return true;
    }
    if (result < 0 || waited >= timeoutMs) return false;
    SleepMs(10);
  }
}

void KillProcess(ChildProcess& child) {
  if (child.id == 0) return;
  kill(static_cast<pid_t>(child.id), SIGKILL);
  int status = 0;
  waitpid(static_cast<pid_t>(child.id), &status, 0);
  child.id = 0;
}

[[noreturn]] void ExitProcess(int code) {
  RestoreTerminal();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(code);
}

}  // namespace platform
