#pragma once
// The node's network side, brought up once during start-up: the address it
// uses, its receive socket and the subnet broadcast of its registration.

#include <cstdint>
#include <vector>

#include "net/net_state.h"

bool InitSimUDP(const char* ipaddress, const char* ipmask, int32_t majorVersion, int32_t minorVersion);

// (address AND mask) OR (NOT mask) into the monitor's record for port 9019,
// else into the remote broadcast's; returns the record filled.
Ipv4Endpoint& GetBroadcastAddress(bool print, const char* addressText, const char* maskText, uint16_t port);

// Takes the host's addresses in order until one on a private network (by
// its text: "192.", "172.", "10."); else the last. Sets SelectedIp and
// AdvertisedIp; false when the list is empty.
bool SearchHostAddress(const std::vector<uint32_t>& addresses);
