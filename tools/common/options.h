#pragma once
// A tool's command-line options as a table: each option's name, the name of
// its value (none for a flag), its help and what it sets. The usage text
// printed by --help and after a wrong option is written from the same table.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct ToolOption {
  std::string name;   // "--port"
  std::string value;  // "P"; empty for a flag
  std::string help;
  // A flag's value is ""; false when the value is not one the option takes.
  std::function<bool(const std::string& value)> set;
  std::string longValue = "";  // the value's name in the usage line, when not the short one
};

// Every argument an option of the table, with its value where it takes one.
// False at the first argument that is not (or a value missing or refused).
bool ParseToolOptions(int argc, char** argv, const std::vector<ToolOption>& options);

// "usage: TOOL [--a A] [--b] ..." folded to the width, then one line per
// option with its help in a column.
void PrintToolOptions(std::FILE* to, const std::string& tool, const std::vector<ToolOption>& options);

// The rows of a two-column list as the usage texts print them: the left
// column as wide as its widest entry, a help of several lines ('\n' in it)
// continued under its first, and a left entry too wide for the column
// with its help on the line below.
struct HelpRow {
  std::string left;
  std::string help;
};
std::string HelpColumns(const std::vector<HelpRow>& rows, size_t widest = 24);
