// A flight-plan file, whatever it holds, through the import.

#include <cstdint>
#include <string>

#include "flightplan/flight_plan.h"
#include "fuzz_support.h"
#include "process/char_source.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  PrepareFuzzProcess(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StringCharSource file(std::string(reinterpret_cast<const char*>(data), size));
  ImportFlightPlan(file);
  return 0;
}
