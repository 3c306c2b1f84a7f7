#pragma once
// A small, strict JSON reader for what the web page posts: the whole text
// is one value, with nothing after it; numbers as JSON writes them; at most
// a few levels deep. Anything else is not JSON to it.

#include <string>
#include <utility>
#include <vector>

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;                             // an array's
  std::vector<std::pair<std::string, JsonValue>> members;  // an object's, in order

  // The member of that name, or nullptr (also when this is no object).
  const JsonValue* Member(const std::string& name) const;
};

inline constexpr int JSON_MAX_DEPTH = 8;

// False, with `value` undefined, when the text is not one JSON value.
bool ReadJson(const std::string& text, JsonValue& value);
