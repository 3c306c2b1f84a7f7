#pragma once
// FlightGear's property server (its --telnet interface), in data mode: the
// answer to "get PATH" is the value alone on a line, to "ls PATH" one line
// per child and an empty line; "set PATH VALUE" has no answer. FlightGear
// answers what it has received once per frame, so many requests sent at once
// cost one frame together.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

class FgProps {
 public:
  ~FgProps() { Close(); }
  // False with the reason in words when nothing answers at the address.
  bool Connect(uint32_t address, uint16_t port, std::string& problem);
  void Close();
  bool connected() const { return socket_ != platform::NO_SOCKET; }

  // The values of the paths, in their order, from one frame; false (and
  // the connection closed) when FlightGear went away.
  bool GetAll(const std::vector<std::string>& paths, std::vector<std::string>& values, uint32_t timeoutMs);
  // The names of a node's children ("aircraft[0]", ...); false when gone.
  bool List(const std::string& path, std::vector<std::string>& children, uint32_t timeoutMs);
  // Sent at once, answered by nothing.
  bool Set(const std::string& path, const std::string& value);

 private:
  bool Send(const std::string& text);
  bool ReadLine(std::string& line, uint32_t timeoutMs);

  platform::SocketHandle socket_ = platform::NO_SOCKET;
  std::string pending_;  // received, not yet taken as lines
};
