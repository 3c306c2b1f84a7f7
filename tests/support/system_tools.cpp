#include "support/system_tools.h"

#include "support/files.h"
#include "support/processes.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

std::string Tool(const std::string& name) {
  for (const char* directory : {"/usr/sbin/", "/usr/bin/", "/sbin/", "/bin/"}) {
    if (fs::exists(directory + name)) return directory + name;
  }
  return name;
}

int RunToEnd(const std::vector<std::string>& command, std::string* output, uint32_t timeoutMs) {
  const std::string file = (fs::path(TestDirectory()) / "run-output.txt").string();
  int code = -1;
  {
    std::vector<std::string> resolved = command;
    resolved[0] = Tool(command[0]);
    ScopedChild child(resolved, TestDirectory(), file);
    if (!child.WaitForExit(timeoutMs, code)) code = -1;
  }
  if (output != nullptr) *output = ReadWholeFile(file);
  return code;
}

std::string Dissect(const std::string& capture, const std::string& filter, const std::vector<std::string>& options) {
  std::vector<std::string> command = {"tshark", "-n", "-r", capture, "-X", "lua_script:" ZEMSIM_DISSECTOR, "-Y", filter};
  command.insert(command.end(), options.begin(), options.end());
  std::string output;
  EXPECT_EQ(RunToEnd(command, &output), 0) << output;
  const std::string root = "Running as user \"root\"";  // tshark's warning, not a frame
  if (output.rfind(root, 0) == 0) output.erase(0, output.find('\n') + 1);
  return output;
}
