#pragma once
// Starting other programs and ending them, for the tests and benchmarks
// that run the node and its peers as real processes. One POSIX and one
// Win32 implementation, as the rest of the platform layer.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ChildProcess {
  int64_t id = 0;     // process id (POSIX) or process handle (Windows); 0: none
  int64_t input = 0;  // write end of the child's standard input, or 0
};

// Starts the program (its path is the first argument) in the directory, with
// standard output and error written to the output file (empty: inherited).
// Standard input is a pipe that WriteToChild feeds when withInput is set,
// else the null device.
bool SpawnProcess(const std::vector<std::string>& arguments, const std::string& directory,
                  const std::string& outputFile, ChildProcess& child, bool withInput = false);

// Writes the text to the child's standard input; false when it cannot.
bool WriteToChild(ChildProcess& child, const std::string& text);

// Waits up to the time-out; true, with the exit code, when the child has ended.
bool WaitProcess(ChildProcess& child, uint32_t timeoutMs, int& exitCode);

// Ends the child at once (if it still runs) and collects it.
void KillProcess(ChildProcess& child);

// Makes this process the parent of every orphan among its descendants (a
// restarted node's successors), so that it can wait for and end them too.
// False where the platform cannot.
bool AdoptOrphanedDescendants();

// The children this process has now, its adopted orphans included, each as a
// ChildProcess that WaitProcess and KillProcess accept. Empty where the
// platform cannot list them.
std::vector<ChildProcess> CurrentChildren();

// Sets a variable in this process's environment, which the processes it
// starts inherit.
void SetEnvironmentValue(const char* name, const char* value);

// The exit code as a parent process sees it after ExitProcess(code).
int ReportedExitCode(int code);

}  // namespace platform
