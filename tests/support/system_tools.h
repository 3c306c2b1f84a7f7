#pragma once
// The machine's own programs, as the LAN and dissector tests run them
// (without a shell): iproute2, dumpcap and tshark.

#include <cstdint>
#include <string>
#include <vector>

// The system program's path, found in the usual directories.
std::string Tool(const std::string& name);

// Runs the command (its first word a system program) to its end; its exit
// code, or -1 when it did not end in time. Output and errors in *output.
int RunToEnd(const std::vector<std::string>& command, std::string* output = nullptr, uint32_t timeoutMs = 60000);

// tshark on the capture with the node's dissector (as the build wrote it),
// keeping the frames that pass the display filter, with the options given (-V, -T fields, ...).
// Fails the test when tshark fails.
std::string Dissect(const std::string& capture, const std::string& filter, const std::vector<std::string>& options);

