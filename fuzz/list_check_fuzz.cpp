// A client's request list into the bridge's check: whatever the check lets
// through is executed over an offset space by the server engine, which must
// then stay inside the list (the sanitizers watch every byte).

#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "ipc/records.h"
#include "ipc/server.h"

namespace {
OffsetSpace space;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  PrepareFuzzProcess(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > IPC_LIST_LIMIT + 16) return -1;
  // Exactly the bytes received, in a buffer of exactly their size.
  std::vector<uint8_t> list(data, data + size);
  if (CheckRequestList(list.data(), static_cast<uint32_t>(list.size())) != nullptr) return 0;
  space.Execute(list.data(), static_cast<uint32_t>(list.size()));
  return 0;
}
