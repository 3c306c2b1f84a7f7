#pragma once
// Texts for the network's system log, sent as text messages over the update
// channel under a lock of their own. No update channel is open in this
// node, so none leaves it.

#include <cstddef>
#include <cstdint>

bool SysLog(const char* text);
// -1: the update channel is not open (in this node, always).
int SendUpdateMessage(const uint8_t* message, size_t length);
