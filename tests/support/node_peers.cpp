#include "support/node_peers.h"

#include <filesystem>

namespace fs = std::filesystem;

StandInCommgr::StandInCommgr(const std::string& directory)
    : output_((fs::path(directory) / "commgr.txt").string()),
      child_({ProgramBeside("commgr"), "--port", "0", "--verbose", "--stats", "0"}, directory, output_, true) {
  ready_ = WaitForFileText(output_, "registrations on port 9019", 15000);
}

bool StandInCommgr::WaitForNew(const std::string& text, uint32_t timeoutMs) const {
  size_t from = Output().size();
  for (uint32_t waited = 0;; waited += 50) {
    std::string now = Output();
    if (now.size() > from && now.find(text, from) != std::string::npos) return true;
    if (waited >= timeoutMs) return false;
    platform::SleepMs(50);
  }
}

void NodeWithPeers::SetUp() {
  // Successors of a restarted node are nobody's children: adopted, they are ours.
  platform::AdoptOrphanedDescendants();
  directory_ = MakeFreshDirectory("peers");
  stub_ = std::make_unique<StubSimulator>(directory_);
  ASSERT_TRUE(stub_->ready());
  commgr_ = std::make_unique<StandInCommgr>(directory_);
  ASSERT_TRUE(commgr_->ready()) << commgr_->Output();
  // The stub's port is free for UDP too, and no two tests share it.
  port_ = stub_->port();
  WriteWholeFile(In("ZemSim.cfg"), "ipaddress 127.0.0.1\nport " + std::to_string(port_) + "\nsimserver " +
                                       stub_->endpoint() + "\n");
}

void NodeWithPeers::TearDown() {
  node_.reset();
  commgr_.reset();
  stub_.reset();
  for (platform::ChildProcess child : platform::CurrentChildren()) platform::KillProcess(child);
}

void NodeWithPeers::StartNode() {
  node_ = std::make_unique<ScopedChild>(std::vector<std::string>{ProgramBeside("zemsim")}, directory_,
                                        In("console.txt"));
  ASSERT_TRUE(WaitForFileText(In("console.txt"), "Connected to CommMgr\n", 15000)) << Console() << commgr_->Output();
}

std::string NodeWithPeers::In(const char* name) const { return (fs::path(directory_) / name).string(); }

int NodeWithPeers::ConsoleCount(const std::string& text) const {
  std::string console = Console();
  int count = 0;
  for (size_t at = console.find(text); at != std::string::npos; at = console.find(text, at + text.size())) ++count;
  return count;
}

bool NodeWithPeers::WaitForConsoleCount(const std::string& text, int count, uint32_t timeoutMs) const {
  for (uint32_t waited = 0;; waited += 50) {
    if (ConsoleCount(text) >= count) return true;
    if (waited >= timeoutMs) return false;
    platform::SleepMs(50);
  }
}
