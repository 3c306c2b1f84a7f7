#pragma once
// FlightGear's property server (its --telnet or --props interface), in data
// mode: the answer to "get PATH" is the value alone on a line (an empty line
// for a property that does not exist), to "ls PATH" one line per child
// ("name/" for a node with children, "name[1]" for a second of its name),
// and "set PATH VALUE" has no answer. FlightGear takes in a few hundred
// bytes of each connection per frame: the many gets of one refresh are
// spread over several connections ("lanes"), so that they are answered
// within about one frame.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

class FgProps {
 public:
  // Gets per lane that FlightGear answers within one frame.
  static constexpr size_t GETS_PER_LANE = 8;

  ~FgProps() { Close(); }
  // Opens the lanes for that many gets at once; false with the reason in
  // words when nothing answers at the address.
  bool Connect(uint32_t address, uint16_t port, size_t gets, std::string& problem);
  void Close();
  bool connected() const { return !lanes_.empty(); }

  // The values of the paths, in their order, from one frame; false (and
  // every lane closed) when FlightGear went away.
  bool GetAll(const std::vector<std::string>& paths, std::vector<std::string>& values, uint32_t timeoutMs);
  // GetAll in two halves, so that the next request can be on its way while
  // the last one is answered (FlightGear answers a request a frame or two
  // after it came, but one in every frame): the answers come in the order
  // the requests were sent.
  bool SendGets(const std::vector<std::string>& paths);
  bool ReceiveGets(size_t count, std::vector<std::string>& values, uint32_t timeoutMs);
  // The names of a node's children ("aircraft", "aircraft[1]", ...).
  bool List(const std::string& path, std::vector<std::string>& children, uint32_t timeoutMs);
  // Sent at once on the first lane (ahead of its next gets), answered by nothing.
  bool Set(const std::string& path, const std::string& value);

 private:
  struct Lane {
    platform::SocketHandle socket = platform::NO_SOCKET;
    std::string pending;  // received, not yet taken as lines
  };
  bool Send(Lane& lane, const std::string& text);
  bool ReadLine(Lane& lane, std::string& line, uint32_t timeoutMs);

  std::vector<Lane> lanes_;
};
