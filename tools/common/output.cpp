#include "common/output.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex outputLock;
bool stamps = false;

std::string Stamped(const std::string& text) {
  if (!stamps) return text;
  const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch()).count();
  const std::string stamp = std::to_string(now) + " ";
  std::string stamped;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    stamped += stamp + text.substr(start, end - start);
    start = end;
  }
  return stamped;
}
}  // namespace

void SetStamps(bool on) { stamps = on; }

void Say(const std::string& text) {
  const std::string line = Stamped(text);
  std::lock_guard<std::mutex> guard(outputLock);
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

std::string Format(const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

std::string Hex(const uint8_t* bytes, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) text += Format(i == 0 ? "%02X" : " %02X", bytes[i]);
  return text;
}

std::vector<uint8_t> ParseHexBytes(const std::vector<std::string>& words) {
  std::vector<uint8_t> bytes;
  for (const std::string& word : words) bytes.push_back(static_cast<uint8_t>(std::strtoul(word.c_str(), nullptr, 16)));
  return bytes;
}
