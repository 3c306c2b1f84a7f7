#include "common/options.h"

#include <algorithm>

namespace {
constexpr size_t USAGE_WIDTH = 100;
}

bool ParseToolOptions(int argc, char** argv, const std::vector<ToolOption>& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string given = argv[i];
    auto option = std::find_if(options.begin(), options.end(), [&](const ToolOption& o) { return o.name == given; });
    if (option == options.end()) return false;
    if (option->value.empty()) {
      if (!option->set("")) return false;
    } else if (i + 1 >= argc || !option->set(argv[++i])) {
      return false;
    }
  }
  return true;
}

std::string HelpColumns(const std::vector<HelpRow>& rows, size_t widest) {
  size_t column = 0;
  for (const HelpRow& row : rows) {
    if (row.left.size() <= widest) column = std::max(column, row.left.size());
  }
  const std::string indent(2 + column + 2, ' ');
  std::string text;
  for (const HelpRow& row : rows) {
    std::string help = row.help;
    for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1 + indent.size())) {
      help.insert(at + 1, indent);
    }
    if (help.empty()) {
      text += "  " + row.left + "\n";
    } else if (row.left.size() > column) {
      text += "  " + row.left + "\n" + indent + help + "\n";
    } else {
      text += "  " + row.left + std::string(column - row.left.size() + 2, ' ') + help + "\n";
    }
  }
  return text;
}

void PrintToolOptions(std::FILE* to, const std::string& tool, const std::vector<ToolOption>& options) {
  const std::string head = "usage: " + tool;
  std::string usage = head, line = head;
  std::vector<HelpRow> rows;
  for (const ToolOption& option : options) {
    const std::string shown = option.value.empty() ? option.name : option.name + " " + option.value;
    const std::string word = " [" + option.name + (option.value.empty() ? "" : " ") +
                             (option.longValue.empty() ? option.value : option.longValue) + "]";
    if (line.size() + word.size() > USAGE_WIDTH) {
      usage += "\n" + std::string(head.size(), ' ');
      line = std::string(head.size(), ' ');
    }
    usage += word;
    line += word;
    rows.push_back({shown, option.help});
  }
  std::fputs((usage + "\n" + HelpColumns(rows)).c_str(), to);
}
