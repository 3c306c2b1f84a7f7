#pragma once
// commgr's parts: its options and threads (main.cpp), the commands on its
// standard input (commands.cpp) and the decoders of what the node sends
// (decoders.cpp).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "commgr/items_message.h"
#include "common/commands.h"
#include "platform/platform.h"

// Where the node's messages arrive and what the address message names;
// "move" replaces it while the other threads send through it.
extern std::atomic<platform::SocketHandle> dataSocket;
extern uint32_t dataAddress;
// Off: neither keep-alives nor answers to registrations.
extern std::atomic<bool> keepAlive;
extern std::atomic<uint32_t> sendVersion;
// Every message decoded, not only counted (--verbose).
extern bool verbose;
// Every data message shown whole, in hex (--hex).
extern bool hex;
// The web page is served (--web): what happens is noted in its state too.
extern bool web;

// A message to the node with the next sequence number and room for the payload.
std::vector<uint8_t> Message(uint32_t msgClass, uint32_t type, int32_t count, size_t payload);
// To every node that registered.
void SendToNodes(const std::vector<uint8_t>& message);
// One data message of the items to every node, and said so.
void SendItems(const std::vector<Item>& items);
// Shows (and counts) whatever arrives on the socket, for ever.
void ListenForData(platform::SocketHandle socket);

// One datagram from the node: counted by type, kept when it is a data
// message, and shown with its values when verbose.
void ShowMessage(const uint8_t* message, int length);
// Rates per message type since the last report.
void ReportStats();
// The latest data message of the type; empty when none came.
std::vector<uint8_t> LastDataMessage(uint32_t type);

extern const std::vector<ToolCommand> COMMANDS;
