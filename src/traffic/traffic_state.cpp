#include "traffic/traffic_state.h"

std::atomic<int32_t> groundTrafficGate{-1};
