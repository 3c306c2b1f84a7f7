#include "support/files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "process/log.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string ReadTextFile(const std::string& path) {
  std::string text = ReadWholeFile(path);
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) plain += text[i];
  }
  return plain;
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Named after the running test, so that a death test's child, which runs the
// test again from its start, arrives at the same directory as its parent.
std::string MakeFreshDirectory(const std::string& name) {
  static std::string lastTest;
  static int serial = 0;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::string testName = test ? std::string(test->test_suite_name()) + "." + test->name() : "none";
  serial = testName == lastTest ? serial + 1 : 1;
  lastTest = testName;
  std::string safe;
  for (char c : testName + "-" + name + "-" + std::to_string(serial)) safe += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
  fs::path path = fs::path(TestDirectory()) / safe;
  fs::remove_all(path);
  fs::create_directories(path);
  return path.string();
}

std::string TailOfFile(const std::string& path, size_t lines) {
  const std::vector<std::string> all = SplitLines(ReadTextFile(path));
  std::string tail;
  for (size_t i = all.size() > lines ? all.size() - lines : 0; i < all.size(); ++i) tail += all[i] + "\n";
  return tail;
}

std::string OutputsIn(const std::string& directory, size_t lines) {
  std::vector<fs::path> files;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(directory, ignored)) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && (extension == ".txt" || extension == ".log")) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::string report = "The outputs of the processes are kept in " + directory + "; the last lines of each:\n";
  for (const fs::path& file : files) {
    report += "---- " + file.filename().string() + "\n" + TailOfFile(file.string(), lines);
  }
  return report;
}

LogTail::LogTail() : path_(LogFilePath()) { start_ = ReadWholeFile(path_).size(); }

std::string LogTail::Added() const {
  std::string content = ReadWholeFile(path_);
  return content.size() >= start_ ? content.substr(start_) : content;
}

int LogTail::Count(const std::string& text) const {
  int count = 0;
  for (const std::string& line : SplitLines(Added())) {
    if (line.find(text) != std::string::npos) ++count;
  }
  return count;
}

bool WaitForFileText(const std::string& path, const std::string& text, uint32_t timeoutMs) {
  return Eventually([&] { return ReadTextFile(path).find(text) != std::string::npos; }, timeoutMs);
}

void EnterDirectory(const std::string& directory) { fs::current_path(directory); }
