#include "bridge/bridge_config.h"

#include <cstring>
#include <string>

#include "net/ipv4_text.h"
#include "process/log.h"
#include "process/print.h"
#include "process/text.h"
#include "process/word_reader.h"

bool ParseListen(const char* text, uint32_t& address, uint16_t& port) {
  std::string endpoint = text;
  size_t colon = endpoint.rfind(':');
  if (colon == std::string::npos) return false;
  std::string digits = endpoint.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  int value = std::stoi(digits);
  uint32_t parsed = ParseDottedDecimal(endpoint.substr(0, colon).c_str());
  if (value > 65535 || parsed == INVALID_IPV4) return false;
  address = parsed;
  port = static_cast<uint16_t>(value);
  return true;
}

bool ParseSubnet(const char* text, Subnet& subnet) {
  std::string address = text;
  int bits = 32;
  size_t slash = address.find('/');
  if (slash != std::string::npos) {
    std::string count = address.substr(slash + 1);
    if (count.empty() || count.size() > 2 || count.find_first_not_of("0123456789") != std::string::npos) return false;
    bits = std::stoi(count);
    if (bits > 32) return false;
    address.resize(slash);
  }
  uint32_t value = ParseDottedDecimal(address.c_str());
  if (value == INVALID_IPV4) return false;
  subnet.mask = bits == 0 ? 0 : ~0u << (32 - bits);
  subnet.address = value & subnet.mask;
  return true;
}

namespace {

// A whole decimal number from 1 to most.
bool ParseCount(const char* text, uint32_t most, uint32_t& count) {
  std::string digits = text;
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long value = std::stoul(digits);
  if (value < 1 || value > most) return false;
  count = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

void ReadBridgeConfigFrom(CharSource& source, BridgeSettings& settings, const BridgeKey& own) {
  WordReader reader(source);
  char key[WORD_CAPACITY];
  char value[WORD_CAPACITY];
  while (reader.NextWord(key) && reader.NextWord(value)) {
    LowerCase(key);
    Subnet subnet{};
    bool used = false;
    if (std::strncmp(key, "//", 2) == 0) {
      reader.DropRestOfLine();
      used = true;
    } else if (std::strcmp(key, "listen") == 0) {
      used = ParseListen(value, settings.listenAddress, settings.listenPort);
    } else if (std::strcmp(key, "allow") == 0 && ParseSubnet(value, subnet)) {
      settings.allowed.push_back(subnet);
      used = true;
    } else if (std::strcmp(key, "idle") == 0) {
      used = ParseCount(value, MAX_IDLE_SECONDS, settings.idleSeconds);
    } else if (std::strcmp(key, "clients") == 0) {
      used = ParseCount(value, MAX_CLIENTS_LIMIT, settings.maxClients);
    } else if (own) {
      used = own(key, value);
    }
    if (!used) {
      char line[256];
      FormatText(line, sizeof line, "ReadBridgeConfig() - Unable to use: %s %s\n", key, value);
      Print(line);
      Log(line);
    }
  }
}

bool Allowed(const BridgeSettings& settings, uint32_t peer) {
  if (settings.allowed.empty()) return peer == 0x7F000001;
  for (const Subnet& subnet : settings.allowed) {
    if ((peer & subnet.mask) == subnet.address) return true;
  }
  return false;
}
