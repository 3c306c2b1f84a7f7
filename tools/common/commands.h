#pragma once
// The commands a tool reads on standard input as a table: each command's
// name, how it is written, its help and its handler. The console help (in
// the usage text) is printed from the same table.

#include <sstream>
#include <string>
#include <vector>

struct ToolCommand {
  std::string name;
  std::string usage;  // "get OFFSET SIZE"; empty: shown with the row before
  std::string help;
  void (*run)(std::istringstream& words);
};

// Runs the line's command; "help" says the commands' help, and a command
// not in the table "error: unknown command NAME". An empty line does nothing.
void RunToolCommand(const std::vector<ToolCommand>& commands, const std::string& line);

// "commands on standard input:" and a row per command shown, help's last.
std::string ToolCommandsHelp(const std::vector<ToolCommand>& commands);
