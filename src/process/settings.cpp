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

// A line the node cannot use is logged and, since the configuration is read
// at start while the operator looks, shown on the console as well.
void ReportUnusable(const char* text) {
  Log(text);
  Print(text);
}

// A port the node cannot bind as written would be advertised all the same,
// and ComMgr would answer where nobody listens.
void SetPort(const char* value) {
  int32_t port = LeadingDecimal(value);
  if (port >= 1 && port <= 65535) {
    Settings.port = port;
  } else {
    char line[120];
    FormatText(line, sizeof line, "ReadConfig() - Port %d is outside 1 to 65535; keeping %d\n", port, Settings.port);
    ReportUnusable(line);
  }
}

struct ConfigKey {
  const char* key;
  void (*apply)(const char* value);
  bool keepsCase = false;  // a path: on most file systems its case names another file
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
    {"record", [](const char* v) { CopyText(Settings.record, v); }, true},
};

const ConfigKey* FindKey(const char* word) {
  for (const ConfigKey& entry : CONFIG_KEYS) {
    if (std::strcmp(word, entry.key) == 0) return &entry;
  }
  return nullptr;
}

}  // namespace

void ReadConfigFrom(CharSource& source) {
  WordReader reader(source);
  char key[WORD_CAPACITY];
  char value[WORD_CAPACITY];
  char written[WORD_CAPACITY];  // the value as the file has it
  char line[2 * WORD_CAPACITY + 80];
  while (reader.NextWord(key)) {
    if (!reader.NextWord(value)) {
      // A key left without a value at the very end of the file is ignored.
      LowerCase(key);
      FormatText(line, sizeof line, "ReadConfig() - %s at the end of the file has no value; ignored\n", key);
      ReportUnusable(line);
      break;
    }
    LowerCase(key);
    CopyText(written, value);
    LowerCase(value);
    const ConfigKey* match = FindKey(key);
    // A key without its value takes the next key as its value, and every
    // pair after it is one word out.
    if (match != nullptr && FindKey(value) != nullptr && std::strcmp(key, value) != 0) {
      FormatText(line, sizeof line, "ReadConfig() - The value of %s is the key %s: is a value missing?\n", key, value);
      ReportUnusable(line);
    }
    if (match != nullptr) {
      match->apply(match->keepsCase ? written : value);
    } else if (std::strncmp(key, "//", 2) == 0) {
      reader.DropRestOfLine();
    } else if (std::strcmp(key, "debug") == 0) {
      SetDebug(value);
    } else {
      FormatText(line, sizeof line, "Unable to recognize: %s\n", key);
      ReportUnusable(line);
    }
  }
}

bool DirectoryExists(const char* path) { return platform::DirectoryExists(path); }

namespace {
// The file OpenConfigFile opens, relative to the current directory or not.
std::string ConfigFilePath(const char* name) {
  std::string directory = platform::RootPath("ZemSimConfigs");
  return DirectoryExists(directory.c_str()) ? directory + platform::PathSeparator() + name + ".cfg"
                                            : std::string(name) + ".cfg";
}
}  // namespace

std::string ConfigFileShown(bool found) {
  const std::string directory = platform::RootPath("ZemSimConfigs");
  const std::string here = platform::CurrentDirectory() + platform::PathSeparator() + "ZemSim.cfg";
  if (DirectoryExists(directory.c_str())) {
    const std::string there = directory + platform::PathSeparator() + "ZemSim.cfg";
    return found ? there : "none found; looked for " + there + " only (that folder is used whenever it exists)";
  }
  return found ? here : "none found; looked for " + directory + " (no such folder), then " + here;
}

std::FILE* OpenConfigFile(const char* name) {
  std::string path = ConfigFilePath(name);
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
