#pragma once
// What the receive path checks and logs of a message's header.

#include <cstdint>

// True when the message carries MSG_VERSION; the first wrong version of the
// process is logged, later ones are not.
bool ValidateMsgVersion(const uint8_t* message, const char* caller);

// Writes the message's header to the log.
void DumpMessage(const uint8_t* message, const char* caller);
