#include "process/console.h"

#include "platform/platform.h"
#include "process/print.h"
#include "process/settings.h"

std::atomic<bool> showFlaps{false};

void HandleConsoleKey(int key) {
  switch (key) {
    case '?':
      Print("d     AP disconnect\n");
      Print("f     Toggle flaps Info\n");
      Print("v     Toggle list incoming vars\n");
      break;
    case 'f':
    case 'F':
      showFlaps = !showFlaps;
      break;
    case 'v':
      Settings.debugIncoming = !Settings.debugIncoming;
      break;
    default:  // d is listed by the help but has no action in this node
      break;
  }
}

[[noreturn]] void ConsoleLoop() {
  for (int key = platform::ReadConsoleKey(); key >= 0; key = platform::ReadConsoleKey()) {
    HandleConsoleKey(key);
  }
  for (;;) platform::SleepMs(3600 * 1000);
}
