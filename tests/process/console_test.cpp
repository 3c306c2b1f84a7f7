#include <cstdlib>

#include "process/console.h"
#include "process/settings.h"
#include "support/test_support.h"

namespace {

// f and F switch the flaps line, v the list of incoming changes; each press
// turns its display the other way, and no other key touches them.
TEST(ConsoleKeys, EachPressTurnsItsDisplayTheOtherWay) {
  Settings = SettingsRecord{};
  showFlaps = false;
  std::string shown;
  for (int key : {'f', 'x', 'F', 'v', 'd', 'f', 'v', 'v'}) {
    StdoutCapture quiet;
    HandleConsoleKey(key);
    shown += std::string(showFlaps ? "F" : "-") + (Settings.debugIncoming ? "V" : "-") + " ";
  }
  EXPECT_EQ(shown, "F- F- -- -V -V FV F- FV ");
  showFlaps = false;
  Settings = SettingsRecord{};
}

// What the operator's window shows, through the platform layer: QuickEdit
// off (a click stops no thread), and the title with both states whole,
// dashes and all, where the console can be asked for it (Windows).
TEST(ConsoleWindow, QuickEditIsOffAndTheTitleShowsAsSet) {
  // Set where the run has a console for certain (the Windows build behind a terminal).
  const bool consoleExpected = std::getenv("ZEMSIM_CONSOLE_EXPECTED") != nullptr;
  EXPECT_TRUE(platform::DisableQuickEdit());
  const std::string title = "ZemSim \u2014 simulator connected \u2014 ComMgr waiting";
  if (!platform::SetConsoleTitleText(title.c_str())) {
    ASSERT_FALSE(consoleExpected) << "the console refused the title";
    GTEST_SKIP() << "no console or terminal shows a title here";
  }
  const std::string shown = platform::ConsoleTitleText();
  if (consoleExpected || !shown.empty()) {
    EXPECT_EQ(shown, title);
  }
}

}  // namespace
