// zemrec: what a recording of the node holds, its blocks' fields as a
// table, and a part of it cut out as a recording of its own.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "zemrec.h"

namespace {

constexpr const char* USAGE =
    "usage: zemrec info FILE\n"
    "       zemrec csv FILE\n"
    "       zemrec cut FILE FROM TO OUT\n"
    "  info  what the recording holds: its run, duration, size, simulators, counts, gaps\n"
    "        and damage\n"
    "  csv   the blocks' fields by name over time, one row per moment a field changed,\n"
    "        to standard output\n"
    "  cut   the part from FROM to TO (seconds from its start) into OUT, a recording of\n"
    "        its own that begins with an image of everything before FROM\n"
    "A recording is written by the node with the configuration key \"record FOLDER\";\n"
    "simstub --replay FILE plays it back to a node.\n";

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

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (argc == 2 && (args[1] == "--help" || args[1] == "-h")) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (argc == 3 && args[1] == "info") {
    Recording recording;
    if (!Load(args[2], recording)) return 1;
    std::fputs(DescribeRecording(recording, std::filesystem::path(args[2]).filename().string()).c_str(), stdout);
    return 0;
  }
  if (argc == 3 && args[1] == "csv") {
    Recording recording;
    if (!Load(args[2], recording)) return 1;
    BlocksAsCsv(recording, [](const std::string& line) { std::fputs(line.c_str(), stdout); });
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (argc == 6 && args[1] == "cut") return Cut(args);
  std::fputs(USAGE, stderr);
  return 2;
}
