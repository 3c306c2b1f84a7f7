// The node on a small LAN of network namespaces, as a cockpit builder's
// machines meet it: the node's host with a public-looking and a private
// address, simstub beside it, commgr on the ComMgr host, and two display
// hosts listening on 9102, one in the node's /24 and one only in the /16.
// Nothing leaves the namespaces the test makes; it removes them, and every
// process it started, when it ends, failed or not.

#include <map>
#include <memory>

#include "support/files.h"
#include "support/node_peers.h"
#include "support/processes.h"
#include "support/system_tools.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* NAMESPACE_PREFIX = "zemlan";

// Namespaces of test runs that ended without removing theirs (killed on a
// time-out): their owner's process id is gone.
void RemoveStaleNamespaces() {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/run/netns", error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(NAMESPACE_PREFIX, 0) != 0) continue;
    const size_t from = std::string(NAMESPACE_PREFIX).size();
    const std::string owner = name.substr(from, name.find('-') - from);
    if (fs::exists("/proc/" + owner)) continue;
    RunToEnd({"ip", "netns", "del", name});
    fs::remove_all("/etc/netns/" + name, error);
  }
}

struct Host {
  const char* role;
  std::vector<std::string> addresses;  // with their prefix lengths, in the order the host lists them
};

// The namespaces of one LAN: a switch (a bridge) and a host per role, each
// on a veth pair to the switch.
class Lan {
 public:
  Lan(const std::vector<Host>& hosts, const std::string& hostName) {
    RemoveStaleNamespaces();
    if (RunToEnd({"ip", "netns", "add", Name("sw")}, &why_) != 0) {
      why_ = "ip netns add: " + why_;
      return;
    }
    made_.push_back(Name("sw"));
    std::vector<std::vector<std::string>> commands = {{"ip", "-n", Name("sw"), "link", "add", "br0", "type", "bridge"},
                                                      {"ip", "-n", Name("sw"), "link", "set", "br0", "up"}};
    for (const Host& host : hosts) {
      const std::string ns = Name(host.role), port = std::string("v-") + host.role;
      if (RunToEnd({"ip", "netns", "add", ns}, &why_) != 0) return;
      made_.push_back(ns);
      commands.push_back({"ip", "link", "add", "eth0", "netns", ns, "type", "veth", "peer", "name", port, "netns", Name("sw")});
      commands.push_back({"ip", "-n", Name("sw"), "link", "set", port, "master", "br0", "up"});
      commands.push_back({"ip", "-n", ns, "link", "set", "lo", "up"});
      for (const std::string& address : host.addresses) commands.push_back({"ip", "-n", ns, "addr", "add", address, "dev", "eth0"});
      commands.push_back({"ip", "-n", ns, "link", "set", "eth0", "up"});
      // The host's name resolves to its addresses in their order, in its namespace only.
      std::string hostsFile = "127.0.0.1 localhost\n";
      for (const std::string& address : host.addresses) hostsFile += address.substr(0, address.find('/')) + " " + hostName + "\n";
      fs::create_directories("/etc/netns/" + ns);
      WriteWholeFile("/etc/netns/" + ns + "/hosts", hostsFile);
    }
    for (const auto& command : commands) {
      if (RunToEnd(command, &why_) != 0) return;
    }
    ready_ = true;
  }

  ~Lan() {
    std::error_code error;
    for (const std::string& ns : made_) {
      RunToEnd({"ip", "netns", "del", ns});
      fs::remove_all("/etc/netns/" + ns, error);
    }
  }

  bool ready() const { return ready_; }
  const std::string& why() const { return why_; }
  static std::string Name(const std::string& role) {
    return NAMESPACE_PREFIX + std::to_string(platform::CurrentProcessId()) + "-" + role;
  }
  // The command prefix that runs a program on the host.
  static std::vector<std::string> On(const std::string& role) { return {Tool("ip"), "netns", "exec", Name(role)}; }

 private:
  std::vector<std::string> made_;
  std::string why_;
  bool ready_ = false;
};

struct MaskCase {
  const char* name;
  int prefix;
  const char* ipmask;       // the node's setting; empty: none
  const char* broadcast;    // what the node computes
  const char* hearer;       // the display host that hears the broadcasts
  const char* deaf;         // the one that does not
};

class CockpitLan : public NodeWithPeers, public testing::WithParamInterface<MaskCase> {
 protected:
  void SetUp() override {
    std::string hostName;
    ASSERT_TRUE(platform::LocalHostName(hostName));
    const std::string p = "/" + std::to_string(GetParam().prefix);
    lan_ = std::make_unique<Lan>(std::vector<Host>{{"node", {"198.51.100.10/24", "192.168.50.10" + p}},
                                                   {"mgr", {"192.168.50.2" + p}},
                                                   {"near", {"192.168.50.20/24"}},
                                                   {"far", {"192.168.60.20/16"}}},
                                 hostName);
    if (!lan_->ready()) GTEST_SKIP() << "network namespaces cannot be made here: " << lan_->why();
    nodeProgram_ = Program("node", "zemsim", {});
    stubProgram_ = Program("node", "simstub", {"--no-window"});
    commgrPrefix_ = Lan::On("mgr");
    commgrOptions_ = {"--address", "192.168.50.2", "--port", "9050"};
    onLoopback_ = false;
    NodeWithPeers::SetUp();
    // The display hosts listen and never answer.
    for (const char* role : {"near", "far"}) {
      displays_[role] = std::make_unique<StandInCommgr>(
          directory_, Lan::On(role), std::vector<std::string>{"--no-keepalive", "--port", "0", "--remote-port", "9102"},
          role == std::string("near") ? "near.txt" : "far.txt");
      ASSERT_TRUE(displays_[role]->ready());
    }
  }

  void TearDown() override {
    displays_.clear();
    NodeWithPeers::TearDown();
    lan_.reset();
  }

  static std::vector<std::string> Program(const char* role, const char* name, const std::vector<std::string>& options) {
    std::vector<std::string> command = Lan::On(role);
    command.push_back(ProgramBeside(name));
    command.insert(command.end(), options.begin(), options.end());
    return command;
  }

  std::unique_ptr<Lan> lan_;
  std::map<std::string, std::unique_ptr<StandInCommgr>> displays_;
};

const MaskCase MASKS[] = {
    {"Slash24", 24, "", "192.168.50.255", "near", "far"},
    {"Slash16", 16, "255.255.0.0", "192.168.255.255", "far", "near"},
};

TEST_P(CockpitLan, FindsComMgrByBroadcastAndCarriesBothWays) {
  const MaskCase& mask = GetParam();
  std::string config = "remote on\n";
  if (*mask.ipmask != '\0') config += std::string("ipmask ") + mask.ipmask + "\n";
  WriteWholeFile(In("ZemSim.cfg"), config + "simserver " + stub_->endpoint() + "\n");
  ASSERT_NO_FATAL_FAILURE(StartNode());

  // The address search: both addresses in the hosts file's order, the private one chosen.
  const std::string log = ReadWholeFile(In("ZemSim.log"));
  const size_t publicAt = log.find("Available HostIP: 198.51.100.10\n");
  EXPECT_NE(publicAt, std::string::npos) << log;
  EXPECT_GT(log.find("Available HostIP: 192.168.50.10\n"), publicAt);
  EXPECT_NE(log.find("Non-routable network selected - IP: 192.168.50.10\n"), std::string::npos);
  EXPECT_NE(Console().find(std::string("    Net: \t") + mask.broadcast + "\n"), std::string::npos) << Console();

  // The registration went out as a subnet broadcast; the answer connected the node.
  StandInCommgr& hearer = *displays_[mask.hearer];
  StandInCommgr& deaf = *displays_[mask.deaf];
  const std::string registration = "registration from 192.168.50.10: \"192.168.50.10 9030 1 1502\" from node 14";
  EXPECT_TRUE(commgr_->WaitFor(registration, 5000)) << commgr_->Output();
  EXPECT_TRUE(hearer.WaitFor(registration, 5000)) << hearer.Output();
  EXPECT_NE(Console().find("Connected to CommMgr\n   Port: 9050\n     IP: 192.168.50.2\n"), std::string::npos);

  // Blocks and traffic cross the LAN; a change comes back to the simulator.
  EXPECT_TRUE(commgr_->WaitFor("recv block1 seq=", 10000));
  EXPECT_TRUE(commgr_->WaitFor("recv block3 seq=", 5000));
  EXPECT_TRUE(commgr_->WaitFor("recv air traffic seq=", 15000)) << commgr_->Output();
  ASSERT_TRUE(commgr_->Command("items i:165=5 d:114=1000 i:116=90"));
  EXPECT_TRUE(stub_->WaitFor("write 0x07BC 4: 05 00 00 00\n", 5000)) << stub_->Output();
  EXPECT_TRUE(stub_->WaitFor("write 0x07CC 2: 00 40\n", 5000));

  // The remote record reaches the display host in the broadcast's reach, and
  // by then none has reached the other one.
  Eventually([&] { return CountOf(hearer.Output(), "recv remote heading=") >= 3; }, 10000);
  EXPECT_GE(CountOf(hearer.Output(), "recv remote heading="), 3) << hearer.Output() << Console();
  EXPECT_EQ(CountOf(deaf.Output(), "recv remote"), 0) << deaf.Output();
  EXPECT_EQ(CountOf(deaf.Output(), "registration from"), 0) << deaf.Output();
}

INSTANTIATE_TEST_SUITE_P(Masks, CockpitLan, testing::ValuesIn(MASKS), RowName());

}  // namespace
