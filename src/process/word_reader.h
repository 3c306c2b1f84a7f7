#pragma once
// The words of a configuration file, read as a C runtime's "%s" does: white
// space separates them, each holds at most 99 characters.

#include <cstddef>

#include "process/char_source.h"

inline constexpr size_t WORD_CAPACITY = 100;

// One character of look-ahead, so that the rest of a comment line starts
// right behind its value word.
class WordReader {
 public:
  explicit WordReader(CharSource& source) : source_(source) {}

  // The next word, cut to the word capacity (the rest of a longer word is
  // dropped with it, so the pairing of keys and values stays intact).
  bool NextWord(char (&word)[WORD_CAPACITY]) {
    int c = Get();
    while (IsSpace(c)) c = Get();
    if (c < 0) return false;
    size_t length = 0;
    for (; c >= 0 && !IsSpace(c); c = Get()) {
      if (length < WORD_CAPACITY - 1) word[length++] = static_cast<char>(c);
    }
    word[length] = '\0';
    Unget(c);
    return true;
  }

  // Drops the rest of the current line, at most 99 characters of it.
  void DropRestOfLine() {
    for (size_t taken = 0; taken < WORD_CAPACITY - 1; ++taken) {
      int c = Get();
      if (c < 0 || c == '\n') return;
    }
  }

 private:
  static bool IsSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
  int Get() {
    if (pending_ != NONE) {
      int c = pending_;
      pending_ = NONE;
      return c;
    }
    return source_.Next();
  }
  void Unget(int c) {
    if (c >= 0) pending_ = c;
  }

  static constexpr int NONE = -2;
  CharSource& source_;
  int pending_ = NONE;
};
