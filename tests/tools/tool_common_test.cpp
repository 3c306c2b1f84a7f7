// What every stand-in shares: its options read from a table, the usage
// columns a reader lines up by eye, and stamped lines.

#include <regex>

#include "common/commands.h"
#include "common/options.h"
#include "common/output.h"
#include "support/test_support.h"

namespace {

struct Given {
  std::string port = "none";
  bool quiet = false;
};

std::vector<ToolOption> Table(Given& given) {
  return {
      {"--port", "P", "the port",
       [&given](const std::string& value) {
         given.port = value;
         return value != "bad";
       }},
      {"--quiet", "", "say less",
       [&given](const std::string&) {
         given.quiet = true;
         return true;
       }},
  };
}

struct ParseCase {
  std::string name;
  std::vector<std::string> arguments;
  bool accepted;
  std::string port;
  bool quiet;
};

class ToolOptions : public testing::TestWithParam<ParseCase> {};

TEST_P(ToolOptions, TakeEachOptionWithItsValueAndRefuseTheRest) {
  std::vector<std::string> arguments = {"tool"};
  arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  Given given;
  EXPECT_EQ(ParseToolOptions(static_cast<int>(argv.size()), argv.data(), Table(given)), GetParam().accepted);
  if (!GetParam().accepted) return;
  EXPECT_EQ(given.port, GetParam().port);
  EXPECT_EQ(given.quiet, GetParam().quiet);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToolOptions,
    testing::Values(ParseCase{"None", {}, true, "none", false},
                    ParseCase{"ValueAndFlag", {"--quiet", "--port", "0"}, true, "0", true},
                    ParseCase{"ValueThatLooksLikeAnOption", {"--port", "--quiet"}, true, "--quiet", false},
                    ParseCase{"ValueMissing", {"--port"}, false, "", false},
                    ParseCase{"ValueRefused", {"--port", "bad"}, false, "", false},
                    ParseCase{"Unknown", {"--quiet", "--loud"}, false, "", false},
                    ParseCase{"FlagGivenAValue", {"--quiet", "yes"}, false, "", false}),
    RowName());

TEST(ToolUsage, LinesUpTheHelpsAndFoldsWhatDoesNotFit) {
  EXPECT_EQ(HelpColumns({{"short", "one"},
                         {"longer one", "two\nand more"},
                         {"bare", ""},
                         {"far too wide for the column", "below"}},
                        12),
            "  short       one\n"
            "  longer one  two\n"
            "              and more\n"
            "  bare\n"
            "  far too wide for the column\n"
            "              below\n");
}

TEST(ToolUsage, CommandsShowTheirOwnRowsOnTheConsoleToo) {
  void (*none)(std::istringstream&) = [](std::istringstream&) {};
  const std::vector<ToolCommand> commands = {{"stall", "stall | resume", "stop and go on", none},
                                             {"resume", "", "", none}};
  const std::string help =
      "commands on standard input:\n"
      "  stall | resume  stop and go on\n"
      "  help            this list\n";
  EXPECT_EQ(ToolCommandsHelp(commands), help);
  StdoutCapture output;
  RunToolCommand(commands, "help");
  RunToolCommand(commands, "halt now");
  EXPECT_EQ(output.Take(), help + "error: unknown command halt\n");
}

TEST(ToolOutput, StampsEveryLineAndWritesBytesAsHex) {
  StdoutCapture output;
  SetStamps(true);
  Say("one\ntwo\n");
  SetStamps(false);
  Say("three\n");
  EXPECT_TRUE(std::regex_match(output.Take(), std::regex("[0-9]{13} one\n[0-9]{13} two\nthree\n")));
  const uint8_t bytes[] = {0x0A, 0xFF, 0x00};
  EXPECT_EQ(Hex(bytes, sizeof bytes), "0A FF 00");
  EXPECT_EQ(ParseHexBytes({"FF", "3f", "0"}), (std::vector<uint8_t>{0xFF, 0x3F, 0x00}));
}

}  // namespace
