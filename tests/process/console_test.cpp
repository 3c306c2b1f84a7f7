#include <gtest/gtest.h>

#include "process/console.h"
#include "process/settings.h"
#include "support/test_support.h"

namespace {

struct KeyCase {
  const char* name;
  std::string keys;
  bool showFlaps;
  bool debugIncoming;
  const char* printed;
};

void PrintTo(const KeyCase& c, std::ostream* out) { *out << c.name; }

class ConsoleKeys : public testing::TestWithParam<KeyCase> {
 protected:
  void SetUp() override {
    showFlaps = false;
    Settings = SettingsRecord{};
  }
  void TearDown() override { SetUp(); }
};

TEST_P(ConsoleKeys, ToggleTheirDisplays) {
  StdoutCapture out;
  for (char key : GetParam().keys) HandleConsoleKey(static_cast<unsigned char>(key));
  EXPECT_EQ(out.Take(), GetParam().printed);
  EXPECT_EQ(showFlaps.load(), GetParam().showFlaps);
  EXPECT_EQ(static_cast<bool>(Settings.debugIncoming), GetParam().debugIncoming);
}

constexpr const char* kHelp = "d     AP disconnect\nf     Toggle flaps Info\nv     Toggle list incoming vars\n";

INSTANTIATE_TEST_SUITE_P(Table, ConsoleKeys,
                         testing::Values(KeyCase{"Help", "?", false, false, kHelp},
                                         KeyCase{"FlapsOn", "f", true, false, ""},
                                         KeyCase{"FlapsTwiceIsOff", "fF", false, false, ""},
                                         KeyCase{"ListingOn", "v", false, true, ""},
                                         KeyCase{"CapitalVAndDDoNothing", "Vdx ", false, false, ""}),
                         [](const testing::TestParamInfo<KeyCase>& param) { return std::string(param.param.name); });

TEST(ConsoleKeysFromConfig, VSwitchesOffAListingTheFileSwitchedOn) {
  Settings = SettingsRecord{};
  Settings.debugIncoming = true;
  HandleConsoleKey('v');
  EXPECT_FALSE(Settings.debugIncoming);
  Settings = SettingsRecord{};
}

}  // namespace
