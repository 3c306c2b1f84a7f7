// Win32 side of the child processes.

#include "platform/child_process.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>

namespace platform {

// Through the runtime, so that its copy of the environment (getenv) and the
// system's (inherited by new processes) both change.
void SetEnvironmentValue(const char* name, const char* value) { _putenv_s(name, value); }

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
                  const std::string& outputFile, ChildProcess& child, bool withInput) {
  if (arguments.empty()) return false;
  std::string commandLine;
  for (const std::string& argument : arguments) {
    if (!commandLine.empty()) commandLine += ' ';
    commandLine += QuoteArgument(argument);
  }
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE input = INVALID_HANDLE_VALUE;
  HANDLE inputWriter = nullptr;
  if (withInput) {
    if (!CreatePipe(&input, &inputWriter, &inheritable, 0)) return false;
    SetHandleInformation(inputWriter, HANDLE_FLAG_INHERIT, 0);
  } else {
    input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                        nullptr);
  }
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
  if (!started) {
    if (inputWriter != nullptr) CloseHandle(inputWriter);
    return false;
  }
  CloseHandle(process.hThread);
  child.id = reinterpret_cast<int64_t>(process.hProcess);
  child.input = reinterpret_cast<int64_t>(inputWriter);
  return true;
}

bool WriteToChild(ChildProcess& child, const std::string& text) {
  if (child.input == 0) return false;
  DWORD written = 0;
  return WriteFile(reinterpret_cast<HANDLE>(child.input), text.data(), static_cast<DWORD>(text.size()), &written,
                   nullptr) &&
         written == text.size();
}

namespace {
void CloseChildInput(ChildProcess& child) {
  if (child.input != 0) CloseHandle(reinterpret_cast<HANDLE>(child.input));
  child.input = 0;
}
}  // namespace

bool WaitProcess(ChildProcess& child, uint32_t timeoutMs, int& exitCode) {
  if (child.id == 0) return false;
  HANDLE process = reinterpret_cast<HANDLE>(child.id);
  if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  exitCode = static_cast<int>(code);
  CloseHandle(process);
  child.id = 0;
  CloseChildInput(child);
  return true;
}

void KillProcess(ChildProcess& child) {
  CloseChildInput(child);
  if (child.id == 0) return;
  HANDLE process = reinterpret_cast<HANDLE>(child.id);
  TerminateProcess(process, 1);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
  child.id = 0;
}

// Windows has no adoption of orphans; a restarted node's successors are
// ended by the job or the person that started the first.
bool AdoptOrphanedDescendants() { return false; }

std::vector<ChildProcess> CurrentChildren() { return {}; }

}  // namespace platform
