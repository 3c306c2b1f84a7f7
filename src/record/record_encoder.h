#pragma once
// Turns what the node hands over into chunks, in the order it happened:
// the answers kept as the spans they changed, an image every image period,
// records gathered into chunks of a bounded size. Writes nothing itself:
// each finished chunk goes to the sink.

#include <cstdint>
#include <functional>
#include <vector>

#include "record/change_tracker.h"
#include "record/record_format.h"

enum class EntryKind : uint8_t {
  Exchange,  // one executed request list: its requests (below)
  Event,     // an event record's body: code u8 | what it carries
  Plan,      // a plan record's body: path length u16 | path | content
};

// A request of an exchange: id u8 (1 a read with its answer, 2 a write) |
// offset u32 | size u32 | the bytes.
inline constexpr uint8_t EXCHANGE_READ = 1;
inline constexpr uint8_t EXCHANGE_WRITE = 2;
inline constexpr size_t EXCHANGE_REQUEST_HEADER = 9;

struct RecordEntry {
  EntryKind kind = EntryKind::Exchange;
  uint32_t timeMs = 0;  // from the start of the recording
  std::vector<uint8_t> bytes;
};

// Appends a request to an exchange entry's bytes.
void AppendExchangeRequest(std::vector<uint8_t>& bytes, uint8_t id, uint32_t offset, const uint8_t* data,
                           uint32_t size);

// Records are gathered into a chunk until it holds this many bytes.
inline constexpr size_t CHUNK_TARGET_SIZE = 64 * 1024;

class RecordEncoder {
 public:
  // The sink writes a whole chunk; false when it could not.
  using Sink = std::function<bool(const std::vector<uint8_t>& chunk)>;
  explicit RecordEncoder(Sink sink) : sink_(std::move(sink)) {}

  // The header chunk.
  bool Begin(const RecordingHeader& header);
  // One entry; times never go back. False when a chunk could not be
  // written: nothing from lostFrom() on is in the recording.
  bool Add(const RecordEntry& entry);
  // Takes the entry in (answers, the simulator's and ComMgr's state)
  // without recording it: what a cut-out recording starts from.
  void Prime(const RecordEntry& entry);
  // The simulator's and ComMgr's state as an image found them.
  void SetState(const LinkState& state) { state_ = state; }
  // An image of everything answered so far, now (pending records first).
  bool WriteImage(uint32_t timeMs);
  // The records gathered so far, as one chunk.
  bool Flush();

  bool pending() const { return !payload_.empty(); }
  uint32_t pendingSince() const { return pendingSince_; }
  uint32_t lostFrom() const { return lostFrom_; }
  const LinkState& state() const { return state_; }

 private:
  bool Emit(ChunkKind kind, uint32_t firstTimeMs);
  void Take(const RecordEntry& entry, bool record);

  Sink sink_;
  ChangeTracker tracker_;
  LinkState state_;
  std::vector<uint8_t> payload_;
  std::vector<uint8_t> chunk_;
  uint32_t pendingSince_ = 0;
  uint32_t lostFrom_ = 0;
  uint32_t imagePeriodMs_ = IMAGE_PERIOD_MS;
  uint32_t nextImageAt_ = IMAGE_PERIOD_MS;
  bool answeredSinceImage_ = false;
};

// A records chunk that holds only the gap event: the recording's last.
std::vector<uint8_t> GapChunk(uint32_t timeMs, GapReason reason);

// The bodies of the events that carry something.
std::vector<uint8_t> SimulatorConnectedEvent(uint32_t serverVersion, uint32_t simulatorVersion,
                                             const std::string& where);
std::vector<uint8_t> TextEvent(EventCode code, const std::string& text);
std::vector<uint8_t> CountEvent(EventCode code, int32_t count);
