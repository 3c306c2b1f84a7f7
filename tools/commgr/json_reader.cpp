#include "commgr/json_reader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}

  bool Whole(JsonValue& value) {
    if (!Value(value, 0)) return false;
    Space();
    return at_ == text_.size();
  }

 private:
  const std::string& text_;
  size_t at_ = 0;

  void Space() {
    while (at_ < text_.size() && std::strchr(" \t\r\n", text_[at_]) != nullptr && text_[at_] != '\0') ++at_;
  }
  bool Take(char c) {
    Space();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(const char* word) {
    size_t length = std::strlen(word);
    if (text_.compare(at_, length, word) != 0) return false;
    at_ += length;
    return true;
  }

  bool Value(JsonValue& value, int depth) {
    if (depth >= JSON_MAX_DEPTH) return false;
    Space();
    if (at_ >= text_.size()) return false;
    value = JsonValue{};
    switch (text_[at_]) {
      case '{':
        return Object(value, depth);
      case '[':
        return Array(value, depth);
      case '"':
        value.kind = JsonValue::Kind::String;
        return String(value.text);
      case 't':
        value.kind = JsonValue::Kind::Bool;
        value.boolean = true;
        return Word("true");
      case 'f':
        value.kind = JsonValue::Kind::Bool;
        return Word("false");
      case 'n':
        return Word("null");
      default:
        value.kind = JsonValue::Kind::Number;
        return Number(value.number);
    }
  }

  bool Object(JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::Object;
    ++at_;
    if (Take('}')) return true;
    do {
      std::pair<std::string, JsonValue> member;
      Space();
      if (at_ >= text_.size() || text_[at_] != '"' || !String(member.first) || !Take(':') ||
          !Value(member.second, depth + 1)) {
        return false;
      }
      value.members.push_back(std::move(member));
    } while (Take(','));
    return Take('}');
  }

  bool Array(JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::Array;
    ++at_;
    if (Take(']')) return true;
    do {
      JsonValue item;
      if (!Value(item, depth + 1)) return false;
      value.items.push_back(std::move(item));
    } while (Take(','));
    return Take(']');
  }

  // \uXXXX gives the character in UTF-8; the halves of a surrogate pair,
  // which nothing the page posts needs, are refused.
  bool String(std::string& out) {
    ++at_;
    while (at_ < text_.size()) {
      unsigned char c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      char escape = text_[at_++];
      const char* from = "\"\\/bfnrt";
      const char* to = "\"\\/\b\f\n\r\t";
      if (const char* found = std::strchr(from, escape); found != nullptr && escape != '\0') {
        out += to[found - from];
      } else if (escape == 'u' && at_ + 4 <= text_.size()) {
        std::string digits = text_.substr(at_, 4);
        if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
        unsigned long code = std::strtoul(digits.c_str(), nullptr, 16);
        if (code >= 0xD800 && code <= 0xDFFF) return false;
        Utf8(code, out);
        at_ += 4;
      } else {
        return false;
      }
    }
    return false;
  }

  static void Utf8(unsigned long code, std::string& out) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  bool Number(double& number) {
    size_t start = at_;
    auto digits = [this] {
      size_t first = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ - first;
    };
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    size_t whole = at_;
    size_t count = digits();
    if (count == 0 || (count > 1 && text_[whole] == '0')) return false;
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (digits() == 0) return false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (digits() == 0) return false;
    }
    number = std::strtod(text_.substr(start, at_ - start).c_str(), nullptr);
    return std::isfinite(number);
  }
};

}  // namespace

const JsonValue* JsonValue::Member(const std::string& name) const {
  for (const auto& [key, value] : members) {
    if (key == name) return &value;
  }
  return nullptr;
}

bool ReadJson(const std::string& text, JsonValue& value) { return Reader(text).Whole(value); }
