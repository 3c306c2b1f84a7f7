#pragma once
// A short flight as the node hands it over to the recorder, recorded in
// memory, with the offset space the simulator answered after each
// exchange: whatever reads the recording must give that back.

#include <cstdint>
#include <utility>
#include <vector>

#include "record/recording_reader.h"

inline constexpr uint32_t POSITION = 0x0560;  // changes with every answer
inline constexpr uint32_t STATION = 0x3000;   // never changes
inline constexpr uint32_t SLOT = 0xF080;      // one byte changes every 2 s
inline constexpr uint32_t GROUND = 0xE080;    // read from 16 s on only
inline constexpr const char* PLAN_PATH = "C:\\plans\\KSEA-KPDX.pln";
inline constexpr const char* PLAN = "<?xml version=\"1.0\"?><Title>KSEA to KPDX</Title>";

// 25 s: the simulator connected at 0, lost at 12 s and back at 13 s,
// ComMgr connected at 1 s, a plan at 3 s, an exchange every 500 ms with a
// write every 2 s, closed at 25 s.
struct Sample {
  std::vector<uint8_t> file;
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> spaces;
  std::vector<std::pair<uint32_t, uint32_t>> writes;  // time, value at 0x07BC
};
const Sample& TheSample();

// The bytes read as a recording, which the test expects them to be.
Recording Parse(std::vector<uint8_t> bytes);
// The space a replay shows at the moment.
std::vector<uint8_t> SpaceAt(const Recording& recording, uint32_t timeMs);
