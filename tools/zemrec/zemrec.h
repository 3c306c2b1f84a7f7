#pragma once
// What zemrec does with a recording: describe it, tabulate the blocks'
// fields over time, cut a part out as a recording of its own.

#include <cstdint>
#include <functional>
#include <string>

#include "record/recording_reader.h"

// The lines of "zemrec info".
std::string DescribeRecording(const Recording& recording, const std::string& name);

// The blocks' fields by name, one row per moment a field changed, as CSV
// with a header row: each line to emit, as it is made.
void BlocksAsCsv(const Recording& recording, const std::function<void(const std::string& line)>& emit);

// The part from fromMs to toMs as a recording of its own: the same header
// with its start moved on, an image of everything up to fromMs, the flight
// plans imported so far, then everything that happened up to toMs, its
// times counted from fromMs.
std::vector<uint8_t> CutRecording(const Recording& recording, uint32_t fromMs, uint32_t toMs);
