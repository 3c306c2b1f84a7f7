#pragma once
// Helpers shared by the tests, and the headers every test uses: each test binary runs in a fresh temporary
// directory of its own, with the file-system root moved into it.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/platform.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

// The directory the test binary runs in, and the program itself.
const std::string& TestDirectory();
const std::string& TestProgramPath();

std::string ReadWholeFile(const std::string& path);
// As ReadWholeFile, with Windows line ends (console output) made plain.
std::string ReadTextFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
std::vector<std::string> SplitLines(const std::string& text);

// A fresh, empty directory inside the test directory.
std::string MakeFreshDirectory(const std::string& name);

// The last lines of a text file ("" when there is none).
std::string TailOfFile(const std::string& path, size_t lines);
// Every file the processes of a test wrote into the directory, its name and
// last lines each, for a failure's message.
std::string OutputsIn(const std::string& directory, size_t lines = 40);

// A fresh directory for the files of one test (MakeFreshDirectory).
class RunDirectory {
 public:
  explicit RunDirectory(const std::string& name) : path_(MakeFreshDirectory(name)) {}
  const std::string& path() const { return path_; }
  std::string In(const std::string& name) const { return (std::filesystem::path(path_) / name).string(); }

 private:
  std::string path_;
};

// The lines the log gained since this object was made.
class LogTail {
 public:
  LogTail();
  std::string Added() const;
  // How many of the added lines contain the text.
  int Count(const std::string& text) const;

 private:
  std::string path_;
  size_t start_ = 0;
};

// Standard output written while it lives.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  std::string Take();

 private:
  bool taken_ = false;
};

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

// Polls the condition every 20 ms until it holds (true) or the time-out passes (false).
bool Eventually(const std::function<bool()>& condition, uint32_t timeoutMs);

// Polls until the file (read as text) contains the text or the time-out passes.
bool WaitForFileText(const std::string& path, const std::string& text, uint32_t timeoutMs);

// Lines written into a death test's log: the child first moves into the
// directory so that its log does not touch the binary's own.
void EnterDirectory(const std::string& directory);

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

// A message's bytes: its header (ComMgr to the node, or the node to ComMgr
// when the source is the node) and the payload after it.
std::vector<uint8_t> TestMessage(uint32_t msgClass, uint32_t type, int32_t count = 0, uint32_t version = 30116,
                                 const std::vector<uint8_t>& payload = {}, int16_t source = 2);

// The items of a data message, and messages put together from parts.
std::vector<uint8_t> IntItem(uint32_t fsxIndex, int32_t value);
std::vector<uint8_t> DoubleItem(uint32_t fsxIndex, double value);
// The bytes as hex digits, "0A1B...".
std::string Hex(const uint8_t* bytes, size_t size);
// Little-endian 32-bit words, one after the other (request lists).
std::vector<uint8_t> Words(std::initializer_list<uint32_t> words);
std::vector<uint8_t> operator+(std::vector<uint8_t> bytes, const std::vector<uint8_t>& more);
std::vector<uint8_t> operator+(std::vector<uint8_t> bytes, const std::string& text);

// A UDP socket of the test's own on loopback, for what the node sends.
class LoopbackReceiver {
 public:
  LoopbackReceiver();
  ~LoopbackReceiver();
  uint16_t port() const { return port_; }
  // The next datagram, or an empty one when none came within the time-out.
  std::vector<uint8_t> Receive(uint32_t timeoutMs = 1000);
  // Every datagram the socket sent here so far, in order: a marker sent
  // through it now arrives behind them, so nothing rests on a wait.
  std::vector<std::vector<uint8_t>> SentSoFar(platform::SocketHandle through);

 private:
  platform::SocketHandle socket_;
  uint16_t port_ = 0;
};

// Names the rows of a parameterised table after their name field.
struct RowName {
  template <class Row>
  std::string operator()(const testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};
