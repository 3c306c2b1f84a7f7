#pragma once
// Processes a test starts: each ended by its id when the test is done, and
// the stand-in peers that answer on their standard output.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "support/files.h"

// A process the test started; ended by its id when the test is done.
class ScopedChild {
 public:
  ScopedChild(const std::vector<std::string>& arguments, const std::string& directory, const std::string& outputFile,
              bool withInput = false);
  bool Send(const std::string& text) { return platform::WriteToChild(child_, text); }
  void Kill() { platform::KillProcess(child_); }
  ~ScopedChild();
  int64_t id() const { return child_.id; }
  // Waits for the end; false when the time-out passed first.
  bool WaitForExit(uint32_t timeoutMs, int& exitCode);

 private:
  platform::ChildProcess child_;
};

// A program built beside the test binary ("simstub", "zemsim", ...).
std::string ProgramBeside(const std::string& name);

// A stand-in peer started by the test: what it says goes to a file, what it
// is told comes through its standard input.
class PeerProcess {
 public:
  PeerProcess(const std::vector<std::string>& arguments, const std::string& directory, const std::string& output);
  std::string Output() const { return ReadTextFile(output_); }
  bool WaitFor(const std::string& text, uint32_t timeoutMs) const { return WaitForFileText(output_, text, timeoutMs); }
  // Waits for text that appears after everything seen so far.
  bool WaitForNew(const std::string& text, uint32_t timeoutMs) const;
  bool Command(const std::string& command) { return child_.Send(command + "\n"); }
  // Sends a command and waits for the whole line that answers it.
  bool Ask(const std::string& command, const std::string& answer, uint32_t timeoutMs = 5000);
  void Kill() { child_.Kill(); }
  int64_t id() const { return child_.id(); }

 private:
  std::string output_;
  ScopedChild child_;
};

// The stand-in simulator, serving on a free loopback port (or the one
// given). By default the simstub built beside the test, without a server
// window; or the program given (for example a Windows build under wine),
// with whatever window it opens.
class StubSimulator : public PeerProcess {
 public:
  explicit StubSimulator(const std::string& directory, uint16_t port = 0, const std::vector<std::string>& extra = {},
                         const std::vector<std::string>& program = {});
  bool ready() const { return port_ != 0; }
  uint16_t port() const { return port_; }
  std::string endpoint() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  uint16_t port_ = 0;
};
