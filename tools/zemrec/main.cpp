// zemrec: what a recording of the node holds, its blocks' fields as a
// table, and a part of it cut out as a recording of its own.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/options.h"
#include "zemrec.h"

namespace {

bool Load(const std::string& path, Recording& recording) {
  std::string error;
  if (LoadRecording(path, recording, error)) return true;
  std::fprintf(stderr, "zemrec: %s: %s\n", path.c_str(), error.c_str());
  return false;
}

// Seconds as a decimal number (fractions allowed), in milliseconds.
bool ParseSeconds(const char* text, uint32_t& ms) {
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(seconds >= 0) || seconds > 4e6) return false;
  ms = static_cast<uint32_t>(seconds * 1000 + 0.5);
  return true;
}

int Cut(const std::vector<std::string>& args) {
  uint32_t fromMs = 0;
  uint32_t toMs = 0;
  if (!ParseSeconds(args[3].c_str(), fromMs) || !ParseSeconds(args[4].c_str(), toMs) || toMs <= fromMs) {
    std::fprintf(stderr, "zemrec: FROM and TO are seconds from the start, FROM before TO\n");
    return 2;
  }
  std::error_code error;
  if (std::filesystem::equivalent(args[2], args[5], error)) {
    std::fprintf(stderr, "zemrec: %s is the recording itself\n", args[5].c_str());
    return 1;
  }
  Recording recording;
  if (!Load(args[2], recording)) return 1;
  const std::vector<uint8_t> bytes = CutRecording(recording, fromMs, toMs);
  std::ofstream out(args[5], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "zemrec: %s cannot be written\n", args[5].c_str());
    return 1;
  }
  return 0;
}

int Info(const std::vector<std::string>& args) {
  Recording recording;
  if (!Load(args[2], recording)) return 1;
  std::fputs(DescribeRecording(recording, std::filesystem::path(args[2]).filename().string()).c_str(), stdout);
  return 0;
}

int Csv(const std::vector<std::string>& args) {
  Recording recording;
  if (!Load(args[2], recording)) return 1;
  BlocksAsCsv(recording, [](const std::string& line) { std::fputs(line.c_str(), stdout); });
  return std::fflush(stdout) == 0 ? 0 : 1;
}

struct Subcommand {
  std::string name;
  std::string arguments;  // after the name, each a word
  std::string help;
  int (*run)(const std::vector<std::string>& args);  // args as main has them
};

const std::vector<Subcommand> SUBCOMMANDS = {
    {"info", "FILE", "what the recording holds: its run, duration, size, simulators, counts, gaps\nand damage", Info},
    {"csv", "FILE", "the blocks' fields by name over time, one row per moment a field changed,\nto standard output",
     Csv},
    {"cut", "FILE FROM TO OUT",
     "the part from FROM to TO (seconds from its start) into OUT, a recording of\nits own that begins with an image "
     "of everything before FROM",
     Cut},
};

std::string Usage() {
  std::string usage;
  std::vector<HelpRow> rows;
  for (const Subcommand& command : SUBCOMMANDS) {
    usage += (usage.empty() ? "usage: zemrec " : "       zemrec ") + command.name + " " + command.arguments + "\n";
    rows.push_back({command.name, command.help});
  }
  return usage + HelpColumns(rows) +
         "A recording is written by the node with the configuration key \"record FOLDER\";\n"
         "simstub --replay FILE plays it back to a node.\n";
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (argc == 2 && (args[1] == "--help" || args[1] == "-h")) {
    std::fputs(Usage().c_str(), stdout);
    return 0;
  }
  for (const Subcommand& command : SUBCOMMANDS) {
    const size_t words = 1 + static_cast<size_t>(std::count(command.arguments.begin(), command.arguments.end(), ' '));
    if (argc >= 2 && args[1] == command.name && args.size() == 2 + words) return command.run(args);
  }
  std::fputs(Usage().c_str(), stderr);
  return 2;
}
