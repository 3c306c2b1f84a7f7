#include "flightplan/xml_scanner.h"

#include "process/log.h"

bool GetXMLId(CharSource& file, char* buffer, size_t limit) {
  int c = file.Next();
  while (c >= 0 && c != '<') c = file.Next();
  if (c < 0) return false;
  size_t count = 0;
  for (c = file.Next(); c >= 0 && c != '>'; c = file.Next()) {
    if (c == 0) continue;
    buffer[count++] = static_cast<char>(c);
    if (count >= limit) {
      LogFormat("GetXMLId() - Buffer limit exceeded: %d\n", static_cast<int>(count));
      return false;
    }
  }
  buffer[count] = '\0';
  if (c < 0) {
    Log("GetXMLId(2) - Input EOF encountered\n");
    return false;
  }
  return true;
}

bool GetXMLValue(CharSource& file, char* buffer, size_t capacity) {
  size_t count = 0;
  for (int c = file.Next(); c >= 0; c = file.Next()) {
    if (c == '<') {
      buffer[count] = '\0';
      return true;
    }
    // A value longer than the buffer is cut; the rest is read and dropped.
    if (c != 0 && count < capacity - 1) buffer[count++] = static_cast<char>(c);
  }
  buffer[count] = '\0';
  return false;
}
