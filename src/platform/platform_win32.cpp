// Win32 side of the platform layer.

#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <conio.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

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
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME lastWrite{};
  bool haveTime = GetFileTime(file, nullptr, nullptr, &lastWrite) != 0;
  if (!CloseHandle(file) || !haveTime) return false;
  writeTime = (static_cast<uint64_t>(lastWrite.dwHighDateTime) << 32) | lastWrite.dwLowDateTime;
  return true;
}

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

// Through the runtime, so that its copy of the environment (getenv) and the
// system's (inherited by new processes) both change.
void SetEnvironmentValue(const char* name, const char* value) { _putenv_s(name, value); }

bool StartDetachedProcess(const std::string& commandLine) {
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
  return true;
}

int ReportedExitCode(int code) { return code; }

namespace {
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}
}  // namespace

bool SpawnProcess(const std::vector<std::string>& arguments, const std::string& directory,
                  const std::string& outputFile, ChildProcess& child) {
  if (arguments.empty()) return false;
  std::string commandLine;
  for (const std::string& argument : arguments) {
    if (!commandLine.empty()) commandLine += ' ';
    commandLine += QuoteArgument(argument);
  }
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                             nullptr);
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!outputFile.empty()) {
    output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output != INVALID_HANDLE_VALUE ? output : GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = output != INVALID_HANDLE_VALUE ? output : GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                directory.empty() ? nullptr : directory.c_str(), &startup, &process);
  if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  if (!started) return false;
  CloseHandle(process.hThread);
  child.id = reinterpret_cast<int64_t>(process.hProcess);
  return true;
}

bool WaitProcess(ChildProcess& child, uint32_t timeoutMs, int& exitCode) {
  if (child.id == 0) return false;
  HANDLE process = reinterpret_cast<HANDLE>(child.id);
  if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  exitCode = static_cast<int>(code);
  CloseHandle(process);
  child.id = 0;
  return true;
}

void KillProcess(ChildProcess& child) {
  if (child.id == 0) return;
  HANDLE process = reinterpret_cast<HANDLE>(child.id);
  TerminateProcess(process, 1);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
  child.id = 0;
}

[[noreturn]] void ExitProcess(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  ::ExitProcess(static_cast<UINT>(code));
}

}  // namespace platform
