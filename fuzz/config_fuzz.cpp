// A configuration file, whatever it holds, through the reader.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "process/char_source.h"
#include "process/settings.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  PrepareFuzzProcess(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Settings = SettingsRecord{};
  StringCharSource file(std::string(reinterpret_cast<const char*>(data), size));
  ReadConfigFrom(file);
  return 0;
}
