#pragma once
// Applies one incoming variable change to the simulator. True when this
// form handles the FsxIndex (whatever the write's outcome), false when not.

#include <cstdint>

bool ChangeVar(int32_t fsxIndex, int32_t value);
bool ChangeVar(int32_t fsxIndex, double value);
