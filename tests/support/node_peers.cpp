#include "support/node_peers.h"

#include <algorithm>
#include <cstdio>

#include "net/monitor.h"
#include "platform/child_process.h"
#include "support/files.h"
#include "support/processes.h"

namespace fs = std::filesystem;

namespace {
std::vector<std::string> CommgrArguments(const std::vector<std::string>& prefix, const std::vector<std::string>& options) {
  std::vector<std::string> arguments = prefix;
  arguments.push_back(ProgramBeside("commgr"));
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.insert(arguments.end(), {"--verbose", "--stats", "0"});
  return arguments;
}
}  // namespace

StandInCommgr::StandInCommgr(const std::string& directory, const std::vector<std::string>& prefix,
                             const std::vector<std::string>& options, const char* output)
    : PeerProcess(CommgrArguments(prefix, options), directory, (fs::path(directory) / output).string()) {
  // Not "cannot listen for registrations on port 9019": only a commgr that listens.
  ready_ = WaitFor(", registrations on port 9019", 15000);
}

void NodeWithPeers::SetUp() {
  // Successors of a restarted node are nobody's children: adopted, they are ours.
  platform::AdoptOrphanedDescendants();
  if (nodeProgram_.empty()) nodeProgram_ = {ProgramBeside("zemsim")};
  stub_ = std::make_unique<StubSimulator>(directory_, 0, std::vector<std::string>{}, stubProgram_);
  ASSERT_TRUE(stub_->ready());
  commgr_ = std::make_unique<StandInCommgr>(directory_, commgrPrefix_, commgrOptions_);
  ASSERT_TRUE(commgr_->ready()) << commgr_->Output();
  if (!onLoopback_) return;
  // The stub's port is free for UDP too, and no two tests share it.
  port_ = stub_->port();
  std::string config = "ipaddress 127.0.0.1\nport " + std::to_string(port_) + "\n";
  if (viaSimServer_) config += "simserver " + stub_->endpoint() + "\n";
  WriteWholeFile(In("ZemSim.cfg"), config);
}

namespace {
// Ends the wine server of the tests' prefix, and with it the helpers it
// started for the prefix's programs.
void EndWineSession(const std::string& directory) {
  for (const char* how : {"-k", "-w"}) {
    ScopedChild server({ZEMSIM_WINE_SERVER, how}, directory, "");
    int code = 0;
    server.WaitForExit(15000, code);
  }
}
}  // namespace

void NodeWithPeers::TearDown() {
  if (HasFailure()) std::printf("%s", OutputsIn(directory_).c_str());
  node_.reset();
  commgr_.reset();
  stub_.reset();
  if (wine_) EndWineSession(directory_);
  EndChildrenExcept({});
}

void NodeWithPeers::EndChildrenExcept(const std::vector<int64_t>& kept) {
  for (platform::ChildProcess child : platform::CurrentChildren()) {
    if (std::find(kept.begin(), kept.end(), child.id) == kept.end()) platform::KillProcess(child);
  }
}

std::vector<std::string> NodeWithPeers::UnderWine(const std::string& program) {
  const fs::path path = fs::path(ZEMSIM_WINDOWS_BIN) / program;
  if (!fs::exists(path) || !fs::exists(ZEMSIM_WINE_SERVER)) return {};
  platform::SetEnvironmentValue("WINEPREFIX", ZEMSIM_WINE_PREFIX);
  platform::SetEnvironmentValue("WINEDEBUG", "-all");
  wine_ = true;
  return {ZEMSIM_WINE_RUN, path.string()};
}

void NodeWithPeers::StartNode() {
  node_ = std::make_unique<ScopedChild>(nodeProgram_, directory_, In("console.txt"));
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "Connected to CommMgr\n", 30000)) << Console() << commgr_->Output();
}

int CountOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

int NodeWithPeers::ConsoleCount(const std::string& text) const { return CountOf(Console(), text); }

bool NodeWithPeers::WaitForConsoleCount(const std::string& text, int count, uint32_t timeoutMs) const {
  return Eventually([&] { return ConsoleCount(text) >= count; }, timeoutMs);
}

// The hex bytes after the marker on the last line that has it.
std::string LastAfter(const std::string& output, const std::string& marker) {
  size_t at = output.rfind(marker);
  if (at == std::string::npos) return {};
  size_t end = output.find('\n', at);
  return output.substr(at + marker.size(), end == std::string::npos ? std::string::npos : end - at - marker.size());
}
