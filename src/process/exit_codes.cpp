#include "process/exit_codes.h"

#include <iterator>

std::string ExitCodeTable() {
  std::string table = "| Code (Windows) | Seen on POSIX | Cause |\n|---|---|---|\n";
  for (size_t i = 0; i < std::size(EXIT_CODES); ++i) {
    const ExitCodeRow& row = EXIT_CODES[i];
    const bool first = i == 0 || EXIT_CODES[i - 1].code != row.code;
    if (first) {
      const int32_t code = row.code;
      table += "| " + std::to_string(code) + " | " + std::to_string(code & 0xFF) + " | " + row.cause;
    } else {
      table += std::string("; ") + row.cause;
    }
    if (i + 1 == std::size(EXIT_CODES) || EXIT_CODES[i + 1].code != row.code) table += " |\n";
  }
  return table;
}
