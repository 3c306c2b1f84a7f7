#include "support/processes.h"

#include "support/test_support.h"

namespace fs = std::filesystem;

ScopedChild::ScopedChild(const std::vector<std::string>& arguments, const std::string& directory,
                         const std::string& outputFile, bool withInput) {
  platform::SpawnProcess(arguments, directory, outputFile, child_, withInput);
}

ScopedChild::~ScopedChild() { platform::KillProcess(child_); }

bool ScopedChild::WaitForExit(uint32_t timeoutMs, int& exitCode) {
  return platform::WaitProcess(child_, timeoutMs, exitCode);
}

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
