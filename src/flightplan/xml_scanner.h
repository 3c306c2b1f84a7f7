#pragma once
// A character-level scanner for flight-plan files: no XML parser, only the
// characters < and >. Zero bytes are dropped.

#include <cstddef>
#include <cstdint>

#include "process/char_source.h"

// The text of the next tag (name and attributes, without < and >) into the
// buffer, which holds at least limit bytes; a tag may have limit - 1
// characters. False at the end of the file, or with a log line when the tag
// is too long or the file ends inside it.
bool GetXMLId(CharSource& file, char* buffer, size_t limit);

// The text up to the next < (which is consumed), cut at the buffer's
// capacity; false when the file ends first.
bool GetXMLValue(CharSource& file, char* buffer, size_t capacity);

template <size_t N>
bool GetXMLValue(CharSource& file, char (&buffer)[N]) {
  return GetXMLValue(file, buffer, N);
}
