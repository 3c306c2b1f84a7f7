#pragma once
// What commgr's web page shows: the values the cockpit's displays read from
// the node's blocks and traffic messages, each with the block it came in,
// and what commgr sees of the link. Filled from the datagrams as they
// arrive (web_decode.h), sent to the page as JSON.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Where a group of values came from: the message's sequence number and the
// wall-clock time (ms) at which commgr received it. Nothing arrived yet
// while `seen` is false, and the page then shows no value of the group.
struct Arrival {
  bool seen = false;
  uint32_t seq = 0;
  int64_t at = 0;
};

inline constexpr size_t ENGINES = 4;

struct EngineView {
  Arrival from;
  int32_t engines = 0;  // as the aircraft has them
  std::array<double, ENGINES> n1{};       // percent
  std::array<double, ENGINES> rpm{};
  std::array<double, ENGINES> fuelFlow{};  // pounds per hour
  double fuelGallons = 0;
};

// Radio frequencies as a display shows them ("123.45", "344.5").
struct RadioView {
  Arrival from;
  std::string model;
  std::string com1, com1Standby, com2, com2Standby;
  std::string nav1, nav1Standby, nav2, nav2Standby;
  int32_t course1 = 0, course2 = 0;  // degrees
  double flaps = 0;                   // extension, 0 up to 1 fully extended
  int32_t flapPosition = 0, flapPositions = 0;
  double gear = 0;                    // the lever, 0 up to 1 down
  bool approachHold = false;
  bool avionics = false;
};

struct AutopilotView {
  bool master = false, navHold = false, headingHold = false, altitudeHold = false, speedHold = false;
  bool autothrottle = false, flightDirector = false;
  double heading = 0;   // degrees
  double altitude = 0;  // feet
  int32_t speed = 0;    // knots
  int32_t verticalSpeed = 0;  // feet per minute
};

struct FlightView {
  Arrival from;
  double latitude = 0, longitude = 0;  // degrees
  int32_t altitude = 0;                 // feet, as the altimeter shows it
  double heading = 0, pitch = 0, bank = 0;  // degrees; pitch up and bank right positive
  double airspeed = 0, trueAirspeed = 0, groundSpeed = 0;  // knots
  double verticalSpeed = 0;  // feet per minute
  std::string adf1, adf2;
  AutopilotView autopilot;
  bool simulatorConnected = false;
};

struct TrafficView {
  Arrival from;
  struct Aircraft {
    uint32_t id = 0;
    std::string ident;
    double latitude = 0, longitude = 0, altitude = 0, heading = 0, groundSpeed = 0;
  };
  std::vector<Aircraft> aircraft;
};

// One kind of message commgr received.
struct MessageCount {
  const char* name = "";
  uint32_t msgClass = 0;
  uint32_t msgType = 0;
  uint64_t count = 0;
  std::vector<int64_t> recent;  // arrival times of the last two seconds
};

struct LinkView {
  bool registered = false;  // a node registered and was answered
  std::string node;         // where it takes its messages
  bool talking = true;      // commgr sends keep-alives and answers
  int64_t lastMessageAt = 0;  // 0: none yet
  uint64_t sequenceGaps = 0;  // block and traffic messages whose number skipped
  bool sequenceSeen = false;
  uint32_t lastSequence = 0;
  std::vector<MessageCount> messages;
};

struct TrackPoint {
  double latitude;
  double longitude;
};
inline constexpr size_t TRACK_POINTS = 3600;  // an hour, at a point a second

struct WebState {
  LinkView link;
  EngineView engines;
  RadioView radios;
  FlightView flight;
  TrafficView air;
  TrafficView ground;
  std::vector<TrackPoint> track;  // the aircraft's own, oldest first
  int64_t trackAt = 0;            // when its newest point arrived
  uint64_t trackCount = 0;        // points added since the start
  uint64_t version = 0;           // counts the changes
};

// The state as one JSON object at the wall-clock time `now` (ms): the rates
// are of the two seconds before it. The whole track with `wholeTrack`, else
// only its newest point.
std::string StateJson(const WebState& state, int64_t now, bool wholeTrack);

// A text as a JSON string, quotes included: control characters and bytes
// outside ASCII escaped, so that any bytes give valid JSON.
std::string JsonString(const std::string& text);
