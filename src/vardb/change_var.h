#pragma once
// Applies one incoming variable change to the simulator. True when this
// form handles the FsxIndex (whatever the write's outcome), false when not.

#include <atomic>
#include <cstdint>

bool ChangeVar(int32_t fsxIndex, int32_t value);
bool ChangeVar(int32_t fsxIndex, double value);

// Items the two forms handled while the simulator link was up, since the start.
extern std::atomic<uint64_t> ChangesApplied;

// The changes of one data message, or of every message waiting, reach the
// simulator together: while one lives, the writes of ChangeVar on this
// thread go out in as few exchanges as their order allows (a read of a
// read-change-write item takes the writes before it along). They may be
// nested; the outermost sends what is left.
class ChangeBatch {
 public:
  ChangeBatch();
  ~ChangeBatch();
  ChangeBatch(const ChangeBatch&) = delete;
  ChangeBatch& operator=(const ChangeBatch&) = delete;
};
