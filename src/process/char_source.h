#pragma once
// A source of characters for the node's text readers (the configuration
// file, the flight plan): an open file in the node, a string in tests.

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

class CharSource {
 public:
  virtual ~CharSource() = default;
  // The next character as an unsigned byte, or -1 at the end.
  virtual int Next() = 0;
};

class FileCharSource final : public CharSource {
 public:
  // At most limit characters, however much the file holds or grows to.
  explicit FileCharSource(std::FILE* file, uint64_t limit = UINT64_MAX) : file_(file), left_(limit) {}
  int Next() override {
    if (left_ == 0) return -1;
    --left_;
    return std::fgetc(file_);
  }

 private:
  std::FILE* file_;
  uint64_t left_;
};

class StringCharSource final : public CharSource {
 public:
  explicit StringCharSource(std::string text) : text_(std::move(text)) {}
  int Next() override {
    if (position_ >= text_.size()) return -1;
    return static_cast<unsigned char>(text_[position_++]);
  }

 private:
  std::string text_;
  size_t position_ = 0;
};
