#pragma once
// The node's messages taken apart into what the cockpit's displays show,
// with the node's own block layouts and traffic record, for commgr's web
// page (web_state.h).

#include <cstddef>
#include <cstdint>
#include <string>

#include "commgr/web_state.h"

// commgr's name of a message kind ("block1", "air-traffic", ...; "other").
const char* MessageTypeName(uint32_t msgClass, uint32_t type);

// A COM or NAV band word as a display shows it: 0x2345 is "123.45".
std::string BandFrequencyText(uint16_t word);
// An ADF frequency from its main and extension words: "344.5" (kHz).
std::string AdfFrequencyText(int16_t mainWord, int16_t extensionWord);

// One datagram that commgr received at the wall-clock time `at` (ms): the
// link's counts, and the values of a block or traffic message of its full
// size. Anything else is counted only.
void NoteDatagram(WebState& state, const uint8_t* datagram, size_t length, int64_t at);
