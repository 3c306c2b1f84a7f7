// The pages in docs/ hold what the programs print: the block between a
// page's "<!-- begin: COMMAND -->" and "<!-- end: COMMAND -->" lines must be
// exactly what COMMAND prints, and each manual page must name every option
// its program's --help names. A program whose text changes fails here until
// its page says the same.

#include <filesystem>
#include <regex>
#include <set>

#include "support/files.h"
#include "support/processes.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

struct PrintedText {
  std::string name;
  std::string page;      // in docs/
  std::string program;   // built beside the tests
  std::string argument;
  bool fenced;           // shown as a code block; tables stand as they are printed
};

void PrintTo(const PrintedText& row, std::ostream* out) { *out << row.program << " " << row.argument; }

const PrintedText PRINTED[] = {
    {"ZemsimHelp", "running.md", "zemsim", "--help", true},
    {"SimstubHelp", "stand-ins.md", "simstub", "--help", true},
    {"CommgrHelp", "stand-ins.md", "commgr", "--help", true},
    {"SimbridgeHelp", "stand-ins.md", "simbridge", "--help", true},
    {"FgbridgeHelp", "flightgear.md", "fgbridge", "--help", true},
    {"FgbridgeMapping", "flightgear.md", "fgbridge", "--mapping", false},
    {"ZemsimExitCodes", "running.md", "zemsim", "--exit-codes", false},
    {"ZemrecHelp", "recording.md", "zemrec", "--help", true},
};

std::string Docs(const std::string& name) { return (fs::path(ZEMSIM_SOURCE_DIR) / "docs" / name).string(); }

// What the program prints with the argument; fails the test when it does
// not end at once with 0.
std::string Printed(const std::string& program, const std::string& argument) {
  RunDirectory run(program + argument);
  const std::string output = run.In("output.txt");
  ScopedChild child({ProgramBeside(program), argument}, run.path(), output);
  int code = -1;
  EXPECT_TRUE(child.WaitForExit(10000, code)) << program << " " << argument << " did not end";
  EXPECT_EQ(code, 0) << program << " " << argument << ":\n" << ReadTextFile(output);
  return ReadTextFile(output);
}

// The page's block for the command, or a note saying why there is none.
std::string Block(const std::string& page, const std::string& command) {
  const std::string text = ReadTextFile(Docs(page));
  const std::string begin = "<!-- begin: " + command + " -->\n";
  const std::string end = "<!-- end: " + command + " -->\n";
  const size_t from = text.find(begin);
  const size_t to = text.find(end);
  if (from == std::string::npos || to == std::string::npos || to < from) return "(no marked block in docs/" + page + ")";
  return text.substr(from + begin.size(), to - from - begin.size());
}

class DocumentedText : public testing::TestWithParam<PrintedText> {};

TEST_P(DocumentedText, IsWhatTheProgramPrints) {
  const PrintedText& row = GetParam();
  const std::string printed = Printed(row.program, row.argument);
  ASSERT_FALSE(printed.empty());
  const std::string expected = row.fenced ? "```text\n" + printed + "```\n" : printed;
  const std::string shown = Block(row.page, row.program + " " + row.argument);
  // The first line that differs, rather than two whole tables.
  const std::vector<std::string> pageLines = SplitLines(shown), programLines = SplitLines(expected);
  size_t line = 0;
  while (line < pageLines.size() && line < programLines.size() && pageLines[line] == programLines[line]) ++line;
  EXPECT_TRUE(shown == expected) << "docs/" << row.page << " no longer shows what `" << row.program << " "
                                 << row.argument << "` prints; line " << line + 1 << " of the block:\n  page:    "
                                 << (line < pageLines.size() ? pageLines[line] : "(ended)") << "\n  program: "
                                 << (line < programLines.size() ? programLines[line] : "(ended)");
}

INSTANTIATE_TEST_SUITE_P(Docs, DocumentedText, testing::ValuesIn(PRINTED), RowName());

class ManualPage : public testing::TestWithParam<std::string> {};

TEST_P(ManualPage, NamesEveryOptionOfTheProgram) {
  const std::string program = GetParam();
  const std::string page = ReadTextFile(Docs("man/" + program + ".1"));
  ASSERT_FALSE(page.empty()) << "no docs/man/" << program << ".1";
  const std::string help = Printed(program, "--help");
  const std::regex option("--[a-z][a-z-]*");
  std::set<std::string> options;
  for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) options.insert(it->str());
  // And a program of commands, each command its usage line names.
  const std::regex command("(usage: |\\n +)" + program + " ([a-z]+) ");
  for (std::sregex_iterator it(help.begin(), help.end(), command), end; it != end; ++it) options.insert((*it)[2]);
  EXPECT_GE(options.size(), 2u) << help;
  for (const std::string& name : options) {
    // roff writes each hyphen of an option as \-.
    const std::string roff = std::regex_replace(name, std::regex("-"), "\\-");
    EXPECT_NE(page.find(roff), std::string::npos) << "docs/man/" << program << ".1 does not name " << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Docs, ManualPage, testing::Values("zemsim", "simstub", "commgr", "fgbridge", "zemrec"),
                         [](const testing::TestParamInfo<std::string>& row) { return row.param; });

}  // namespace
