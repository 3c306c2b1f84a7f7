#include "common/commands.h"

#include "common/options.h"
#include "common/output.h"

void RunToolCommand(const std::vector<ToolCommand>& commands, const std::string& line) {
  std::istringstream words(line);
  std::string name;
  if (!(words >> name)) return;
  for (const ToolCommand& command : commands) {
    if (command.name == name) return command.run(words);
  }
  if (name == "help") return Say(ToolCommandsHelp(commands));
  Say("error: unknown command " + name + "\n");
}

std::string ToolCommandsHelp(const std::vector<ToolCommand>& commands) {
  std::vector<HelpRow> rows;
  for (const ToolCommand& command : commands) {
    if (!command.usage.empty()) rows.push_back({command.usage, command.help});
  }
  rows.push_back({"help", "this list"});
  return "commands on standard input:\n" + HelpColumns(rows, 34);
}
