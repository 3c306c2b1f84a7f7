#pragma once
// Recording a run, for a replay anywhere later. The node's threads hand
// over what they see (the simulator's answers and the node's writes, the
// simulator and ComMgr coming and going, the flight plans it imports) into
// a bounded queue; a thread of the recorder's own turns it into chunks and
// writes them, so that no thread of the node ever waits for the disk. A
// full queue or a failed write ends the recording with a log line and a
// gap mark; the node goes on without it.

#include <cstdint>
#include <string>
#include <vector>

#include "record/record_format.h"

inline constexpr size_t RECORDING_QUEUE_LIMIT = 8u << 20;  // bytes waiting for the disk

// A moment in UTC, from milliseconds since 1970-01-01 UTC.
struct UtcMoment {
  int year, month, day, hour, minute, second, millisecond;
};
UtcMoment UtcMomentOf(uint64_t utcMs);

// "ZemSim-YYYYMMDD-HHMMSS-N.zrec": the run's start in UTC and its restart count.
std::string RecordingFileName(uint64_t startUtcMs, int32_t restartCount);

// Milliseconds since 1970-01-01 UTC, now.
uint64_t UtcNowMs();

// Starts a recording in the folder, its header as given (start time and
// format version are set here); the file's path in path. False, with the
// reason for the operator, when the file cannot be created there.
bool StartRecording(const std::string& folder, RecordingHeader header, std::string& path, std::string& error,
                    size_t queueLimit = RECORDING_QUEUE_LIMIT);
// Writes everything handed over so far, marks the recording closed, closes
// the file and ends the writer. Nothing is recorded afterwards.
void StopRecording();
// One load of an atomic flag: whether a recording takes what it is handed.
bool RecordingActive();

// One executed request list: each read with the answer it got, each write.
struct ExchangeEntry {
  void Answer(uint32_t offset, const uint8_t* data, uint32_t size);
  void Write(uint32_t offset, const uint8_t* data, uint32_t size);
  std::vector<uint8_t> bytes;
};
void RecordExchange(ExchangeEntry& exchange);  // takes its bytes

void RecordSimulatorConnected(uint32_t serverVersion, uint32_t simulatorVersion, const std::string& where);
void RecordSimulatorLost();
void RecordComMgrConnected(const std::string& address);
void RecordComMgrLost();
void RecordRestart(int32_t successorRestartCount);
// A flight-plan file the node imported, as it read it.
void RecordPlan(const std::string& path, const std::string& content);
