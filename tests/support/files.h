#pragma once
// Files and directories of a test: its fresh directories, whole files read
// and written, the lines the log gained, and waits for a text in a file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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

// Polls until the file (read as text) contains the text or the time-out passes.
bool WaitForFileText(const std::string& path, const std::string& text, uint32_t timeoutMs);

// Lines written into a death test's log: the child first moves into the
// directory so that its log does not touch the binary's own.
void EnterDirectory(const std::string& directory);
