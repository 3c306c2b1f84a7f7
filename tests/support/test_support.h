#pragma once
// What every test uses: each test binary runs in a fresh temporary
// directory of its own, with the file-system root moved into it. The
// helpers for files, processes, sockets and message bytes are beside this
// header, one header each.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

// The directory the test binary runs in, and the program itself.
const std::string& TestDirectory();
const std::string& TestProgramPath();

// Standard output written while it lives.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  std::string Take();

 private:
  bool taken_ = false;
};

// Polls the condition every 20 ms until it holds (true) or the time-out passes (false).
bool Eventually(const std::function<bool()>& condition, uint32_t timeoutMs);

// Names the rows of a parameterised table after their name field.
struct RowName {
  template <class Row>
  std::string operator()(const testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};
