#pragma once
// The node's settings: defaults from the start, overwritten once during
// start-up by the configuration file. Only debugIncoming changes later.

#include <cstdint>
#include <cstdio>
#include <string>

#include "process/char_source.h"
#include "process/copyable_atomic.h"

struct SettingsRecord {
  int32_t port = 9030;
  char ipaddress[300] = "";
  char ipmask[50] = "";
  bool remote = false;
  uint8_t hotKeyChar = 9;  // TAB; 0 means no hot key
  int32_t udpinterval = 50;
  int32_t udpwait = 100;
  bool activateoffset = false;
  bool debugoffset = false;
  CopyableAtomic<bool> debugIncoming{false};
  bool debugKeys = false;
  char simserver[100] = "";  // HOST:PORT of a simulator served over a stream; empty: the platform's own road
  char record[100] = "";     // the folder each run's recording goes into; empty: nothing is recorded
};

extern SettingsRecord Settings;

// Reads "ZemSim.cfg" into Settings; false (and nothing changed) when the
// file cannot be opened.
bool ReadConfig();

// Reads key and value words from any source into Settings.
void ReadConfigFrom(CharSource& source);

// "\ZemSimConfigs\<name>.cfg" when that directory exists, else "<name>.cfg"
// in the current directory; nullptr when it cannot be opened.
std::FILE* OpenConfigFile(const char* name);

bool DirectoryExists(const char* path);

// Where the configuration is looked for, as the operator should read it:
// the full path of the file ReadConfig reads, and, when none was found,
// every place that was looked at.
std::string ConfigFileShown(bool found);
