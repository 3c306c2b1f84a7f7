#include "process/print.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

void Print(const char* text) { platform::ConsoleWrite(text); }

void PrintFormat(const char* format, ...) {
  char text[2048];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  platform::ConsoleWrite(text);
}
