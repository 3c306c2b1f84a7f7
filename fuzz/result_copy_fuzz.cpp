// A server that answers with whatever it likes: the executed request list
// comes back overwritten by the input, and the results are copied to the
// reads that were queued, each into a buffer of exactly its size.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.h"
#include "ipc/inprocess_transport.h"
#include "ipc/link.h"

namespace {
const uint8_t* reply = nullptr;
size_t replySize = 0;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  PrepareFuzzProcess(argc, argv);
  ConnectInProcessSimulator().tamper = [](uint8_t* list, uint32_t length) {
    std::memcpy(list, reply, std::min<size_t>(replySize, length));
  };
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return -1;
  // The first bytes choose the reads (how many, and their sizes).
  const size_t reads = 1 + data[0] % 8;
  if (size < 1 + reads) return -1;
  std::vector<std::unique_ptr<uint8_t[]>> destinations;
  uint32_t code = 0;
  for (size_t i = 0; i < reads; ++i) {
    const uint32_t bytes = 1 + data[1 + i] % 64;
    destinations.emplace_back(new uint8_t[bytes]);
    IpcQueueRead(0x0200 + 0x40 * static_cast<uint32_t>(i), bytes, destinations.back().get(), code);
  }
  reply = data + 1 + reads;
  replySize = size - 1 - reads;
  IpcProcess(code);
  return 0;
}
