#include "support/test_support.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/child_process.h"
#include "process/log.h"
#include "wire/data_items.h"

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

StdoutCapture::StdoutCapture() { testing::internal::CaptureStdout(); }

StdoutCapture::~StdoutCapture() {
  if (!taken_) testing::internal::GetCapturedStdout();
}

std::string StdoutCapture::Take() {
  taken_ = true;
  return testing::internal::GetCapturedStdout();
}

ScopedChild::ScopedChild(const std::vector<std::string>& arguments, const std::string& directory,
                         const std::string& outputFile, bool withInput) {
  platform::SpawnProcess(arguments, directory, outputFile, child_, withInput);
}

ScopedChild::~ScopedChild() { platform::KillProcess(child_); }

bool ScopedChild::WaitForExit(uint32_t timeoutMs, int& exitCode) {
  return platform::WaitProcess(child_, timeoutMs, exitCode);
}

bool Eventually(const std::function<bool()>& condition, uint32_t timeoutMs) {
  // Timed by the clock: a condition that takes long itself (a question to
  // a slow peer) must not stretch the time-out.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    platform::SleepMs(20);
  }
}

bool WaitForFileText(const std::string& path, const std::string& text, uint32_t timeoutMs) {
  return Eventually([&] { return ReadTextFile(path).find(text) != std::string::npos; }, timeoutMs);
}

void EnterDirectory(const std::string& directory) { fs::current_path(directory); }

std::string ProgramBeside(const std::string& name) {
  fs::path test = TestProgramPath();
  return (test.parent_path() / (name + test.extension().string())).string();
}

namespace {
std::string StubOutputPath(const std::string& directory) {
  static int serial = 0;
  return (fs::path(directory) / ("simstub-" + std::to_string(++serial) + ".txt")).string();
}

std::vector<std::string> StubArguments(uint16_t port, const std::vector<std::string>& extra,
                                       const std::vector<std::string>& program) {
  std::vector<std::string> arguments = program;
  if (program.empty()) arguments = {ProgramBeside("simstub"), "--no-window"};
  arguments.insert(arguments.end(), {"--port", std::to_string(port)});
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}
}  // namespace

StubSimulator::StubSimulator(const std::string& directory, uint16_t port, const std::vector<std::string>& extra,
                             const std::vector<std::string>& program)
    : PeerProcess(StubArguments(port, extra, program), directory, StubOutputPath(directory)) {
  const std::string marker = "serving on 127.0.0.1:";
  if (!WaitFor(marker, 30000)) return;
  std::string text = Output();
  port_ = static_cast<uint16_t>(std::stoi(text.substr(text.find(marker) + marker.size())));
}

PeerProcess::PeerProcess(const std::vector<std::string>& arguments, const std::string& directory,
                         const std::string& output)
    : output_(output), child_(arguments, directory, output_, true) {}

bool PeerProcess::WaitForNew(const std::string& text, uint32_t timeoutMs) const {
  const size_t from = Output().size();
  return Eventually([&] { return Output().find(text, from) != std::string::npos; }, timeoutMs);
}

bool PeerProcess::Ask(const std::string& command, const std::string& answer, uint32_t timeoutMs) {
  const size_t from = Output().size();
  return Command(command) && Eventually([&] {
           const std::string now = Output();
           const size_t at = now.find(answer, from);
           return at != std::string::npos && now.find('\n', at) != std::string::npos;  // the whole line
         }, timeoutMs);
}

std::vector<uint8_t> TestMessage(uint32_t msgClass, uint32_t type, int32_t count, uint32_t version,
                                 const std::vector<uint8_t>& payload, int16_t source) {
  std::vector<uint8_t> message(MSG_HEADER_SIZE, 0);
  MsgHeader header;
  header.MsgClass = msgClass;
  header.MsgType = type;
  header.Count = count;
  header.Version = version;
  header.Source = source;
  header.Destination = source == NODE_SIM ? NODE_COMMGR : NODE_SIM;
  WriteMsgHeader(message.data(), header);
  message.insert(message.end(), payload.begin(), payload.end());
  return message;
}

std::vector<uint8_t> IntItem(uint32_t fsxIndex, int32_t value) {
  std::vector<uint8_t> item(INT_ITEM_SIZE);
  PutIntItem(item.data(), fsxIndex, value);
  return item;
}

std::vector<uint8_t> DoubleItem(uint32_t fsxIndex, double value) {
  std::vector<uint8_t> item(DOUBLE_ITEM_SIZE);
  PutDoubleItem(item.data(), fsxIndex, value);
  return item;
}

std::string Hex(const uint8_t* bytes, size_t size) {
  std::string hex;
  char digits[3];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    hex += digits;
  }
  return hex;
}

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> bytes(words.size() * 4);
  size_t at = 0;
  for (uint32_t word : words) PutU32(bytes.data() + 4 * at++, word);
  return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> bytes, const std::vector<uint8_t>& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

LoopbackReceiver::LoopbackReceiver() : socket_(platform::UdpOpen()) {
  platform::UdpBind(socket_, 0x7F000001, 0);
  port_ = platform::LocalPort(socket_);
}

LoopbackReceiver::~LoopbackReceiver() { platform::UdpClose(socket_); }

std::vector<uint8_t> LoopbackReceiver::Receive(uint32_t timeoutMs) {
  if (!platform::UdpWaitReadable(socket_, timeoutMs)) return {};
  std::vector<uint8_t> datagram(4096);
  int n = platform::UdpReceive(socket_, datagram.data(), datagram.size());
  datagram.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return datagram;
}

std::vector<std::vector<uint8_t>> LoopbackReceiver::SentSoFar(platform::SocketHandle through) {
  const std::vector<uint8_t> marker = {0xEE, 0x4D, 0x52, 0x4B};
  platform::UdpSendTo(through, marker.data(), marker.size(), 0x7F000001, port_);
  std::vector<std::vector<uint8_t>> datagrams;
  for (std::vector<uint8_t> datagram = Receive(10000); datagram != marker; datagram = Receive(10000)) {
    if (datagram.empty()) {
      ADD_FAILURE() << "the marker never came";
      break;
    }
    datagrams.push_back(datagram);
  }
  return datagrams;
}
