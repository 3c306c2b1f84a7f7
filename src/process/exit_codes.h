#pragma once
// Every way the node ends, with the code its parent sees. Several causes
// share a code; each cause has its own name, and the table below says what
// each means (zemsim --exit-codes prints it).

#include <cstdint>
#include <string>

namespace ExitCode {
enum Code : int32_t {
  Answered = 0,             // --version, --help or --exit-codes printed
  Restarted = 0,            // the successor runs, or could not be started
  NetworkStartFailed = 100,
  EnterPressed = 100,       // after a fatal network error
  RestartLimit = 100,
  ShutdownMessage = 100,
  VariableTableLimit = 100,
  UnknownBlock = 101,
  RemoteSocketFailed = 7373,
  LogLockFailed = 7732,
  LockNotCreated = 7765,
  LockNeverCreated = 9191,
};
}  // namespace ExitCode

struct ExitCodeRow {
  ExitCode::Code code;
  const char* cause;
};

// In the order of the codes; causes of one code side by side.
inline constexpr ExitCodeRow EXIT_CODES[] = {
    {ExitCode::Answered, "--version, --help or --exit-codes answered"},
    {ExitCode::Restarted,
     "Windows: ended after starting its successor (restart); POSIX: a restart whose successor could not be executed"},
    {ExitCode::NetworkStartFailed, "network start-up failed"},
    {ExitCode::EnterPressed, "Enter pressed after a fatal network error"},
    {ExitCode::RestartLimit, "restart limit reached"},
    {ExitCode::ShutdownMessage, "shutdown message"},
    {ExitCode::VariableTableLimit, "variable-table limit"},
    {ExitCode::UnknownBlock, "an unknown block number was asked for"},
    {ExitCode::RemoteSocketFailed, "the remote broadcast socket cannot be opened"},
    {ExitCode::LogLockFailed, "the log lock cannot be created"},
    {ExitCode::LockNotCreated, "a named lock cannot be created"},
    {ExitCode::LockNeverCreated, "a named lock was used before it was created"},
};

// The table as the operator reads it: one row per code, its causes joined,
// with the code as Windows reports it and as POSIX does (its low 8 bits).
std::string ExitCodeTable();
