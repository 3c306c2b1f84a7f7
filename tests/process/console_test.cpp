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

}  // namespace
