#include "process/settings.h"

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "process/log.h"
#include "process/print.h"
#include "process/text.h"
#include "process/word_reader.h"

SettingsRecord Settings;

namespace {

constexpr size_t PATH_CAPACITY = 400;

bool IsTrue(const char* value) { return std::strcmp(value, "true") == 0; }

void SetZemKey(const char* value) {
  if (std::strcmp(value, "none") == 0) Settings.hotKeyChar = 0;
  if (std::strcmp(value, "tab") == 0) Settings.hotKeyChar = 9;
}

void SetDebug(const char* value) {
  static constexpr const char* ACCEPTED[] = {"on", "off", "events", "traffic", "syslog"};
  for (const char* accepted : ACCEPTED) {
    if (std::strcmp(value, accepted) == 0) return;
  }
  if (std::strcmp(value, "incoming") == 0) {
    Settings.debugIncoming = true;
  } else if (std::strcmp(value, "keys") == 0) {
    Settings.debugKeys = true;
  } else {
    Print("Valid Debug value in parameter file are \"on\" and \"off\"\n");
  }
}

void Ignore(const char*) {}

// A port the node cannot bind as written would be advertised all the same,
// and ComMgr would answer where nobody listens.
void SetPort(const char* value) {
  int32_t port = LeadingDecimal(value);
  if (port >= 1 && port <= 65535) {
    Settings.port = port;
  } else {
    LogFormat("ReadConfig() - Port %d is outside 1 to 65535; keeping %d\n", port, Settings.port);
  }
}

struct ConfigKey {
  const char* key;
  void (*apply)(const char* value);
};

// Compared in this order; the first exact match acts.
constexpr ConfigKey CONFIG_KEYS[] = {
    {"port", SetPort},
    {"ipaddress", [](const char* v) { CopyText(Settings.ipaddress, v); }},
    {"ipmask", [](const char* v) { CopyText(Settings.ipmask, v); }},
    {"remote", [](const char*) { Settings.remote = true; }},
    {"zemkey", SetZemKey},
    {"udpinterval", [](const char* v) { Settings.udpinterval = LeadingDecimal(v); }},
    {"activateoffset", [](const char* v) { Settings.activateoffset = IsTrue(v); }},
    {"debugoffset", [](const char* v) { Settings.debugoffset = IsTrue(v); }},
    {"udpwait", [](const char* v) { Settings.udpwait = LeadingDecimal(v); }},
    {"joystick", Ignore},
    {"toga", Ignore},
    {"iarange", Ignore},
    {"simserver", [](const char* v) { CopyText(Settings.simserver, v); }},
};

}  // namespace

void ReadConfigFrom(CharSource& source) {
  WordReader reader(source);
  char key[WORD_CAPACITY];
  char value[WORD_CAPACITY];
  // A key left without a value at the very end of the file is ignored.
  while (reader.NextWord(key) && reader.NextWord(value)) {
    LowerCase(key);
    LowerCase(value);
    const ConfigKey* match = nullptr;
    for (const ConfigKey& entry : CONFIG_KEYS) {
      if (std::strcmp(key, entry.key) == 0) {
        match = &entry;
        break;
      }
    }
    if (match != nullptr) {
      match->apply(value);
    } else if (std::strncmp(key, "//", 2) == 0) {
      reader.DropRestOfLine();
    } else if (std::strcmp(key, "debug") == 0) {
      SetDebug(value);
    } else {
      LogFormat("Unable to recognize: %s\n", key);
    }
  }
}

bool DirectoryExists(const char* path) { return platform::DirectoryExists(path); }

std::FILE* OpenConfigFile(const char* name) {
  std::string directory = platform::RootPath("ZemSimConfigs");
  std::string path = DirectoryExists(directory.c_str()) ? directory + platform::PathSeparator() + name + ".cfg"
                                                        : std::string(name) + ".cfg";
  if (path.size() > PATH_CAPACITY - 1) return nullptr;  // a cut path would name another file
  return std::fopen(path.c_str(), "r");
}

bool ReadConfig() {
  std::FILE* file = OpenConfigFile("ZemSim");
  if (file == nullptr) return false;
  FileCharSource source(file);
  ReadConfigFrom(source);
  std::fclose(file);
  Log("ZemSim Config file closed\n");
  return true;
}
