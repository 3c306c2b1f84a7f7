#pragma once
// Helpers shared by the tests: each test binary runs in a fresh temporary
// directory of its own, with the file-system root moved into it.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

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
  ScopedChild(const std::vector<std::string>& arguments, const std::string& directory, const std::string& outputFile);
  ~ScopedChild();
  bool started() const { return child_.id != 0 || ended_; }
  // Waits for the end; false when the time-out passed first.
  bool WaitForExit(uint32_t timeoutMs, int& exitCode);

 private:
  platform::ChildProcess child_;
  bool ended_ = false;
};

// Polls until the file (read as text) contains the text or the time-out passes.
bool WaitForFileText(const std::string& path, const std::string& text, uint32_t timeoutMs);

// Lines written into a death test's log: the child first moves into the
// directory so that its log does not touch the binary's own.
void EnterDirectory(const std::string& directory);
