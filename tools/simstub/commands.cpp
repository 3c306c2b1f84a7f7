// The commands on simstub's standard input: the offset space looked at and
// changed, the hot key pressed, the answers held back or paced, the
// aircraft stopped.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/output.h"
#include "platform/platform.h"
#include "simlink/hot_keys.h"
#include "replay.h"
#include "simstub.h"

namespace {

bool ParseNumber(const std::string& word, uint32_t& value) {
  char* end = nullptr;
  unsigned long parsed = std::strtoul(word.c_str(), &end, 0);
  if (word.empty() || *end != '\0') return false;
  value = static_cast<uint32_t>(parsed);
  return true;
}

// The offset the command names first; false (and said so) when it names none.
bool Offset(std::istringstream& words, uint32_t& offset) {
  std::string where;
  words >> where;
  if (ParseNumber(where, offset)) return true;
  Say("error: offset\n");
  return false;
}

void Set(std::istringstream& words) {
  uint32_t offset = 0;
  if (!Offset(words, offset)) return;
  std::vector<std::string> hex;
  for (std::string byte; words >> byte;) hex.push_back(byte);
  const std::vector<uint8_t> bytes = ParseHexBytes(hex);
  space.Write(offset, bytes.data(), static_cast<uint32_t>(bytes.size()));
  Say("ok\n");
}

void Text(std::istringstream& words) {
  uint32_t offset = 0;
  if (!Offset(words, offset)) return;
  std::string rest;
  std::getline(words, rest);
  if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  space.Write(offset, rest.c_str(), static_cast<uint32_t>(rest.size() + 1));
  Say("ok\n");
}

void Get(std::istringstream& words) {
  uint32_t offset = 0, size = 0;
  if (!Offset(words, offset)) return;
  std::string count;
  words >> count;
  if (!ParseNumber(count, size) || size > 4096) {
    Say("error: size\n");
    return;
  }
  std::vector<uint8_t> bytes(size);
  space.Read(offset, bytes.data(), size);
  Say(Format("get 0x%04X %u: ", offset, size) + Hex(bytes.data(), size) + "\n");
}

void Writes(std::istringstream& words) {
  uint32_t offset = 0;
  if (!Offset(words, offset)) return;
  uint64_t count = 0;
  {
    std::lock_guard<std::mutex> guard(countLock);
    auto found = writesAt.find(offset);
    if (found != writesAt.end()) count = found->second;
  }
  Say(Format("writes 0x%04X %llu\n", offset, static_cast<unsigned long long>(count)));
}

void Lists(std::istringstream&) { Say("lists " + std::to_string(space.ListsExecuted()) + "\n"); }

void Press(std::istringstream& words) {
  uint32_t value = 2;
  std::string given;
  if (words >> given) ParseNumber(given, value);
  const uint8_t press = static_cast<uint8_t>(value);
  for (uint32_t n = 0; n < HOT_KEY_SLOTS; ++n) {
    uint32_t slot = HOT_KEY_AREA + 4 * n;
    uint8_t character = 0;
    space.Read(slot, &character, 1);
    if (character == TAB_KEY) {
      space.Write(slot + 3, &press, 1);
      Say(Format("press 0x%04X %u\n", slot, press));
      return;
    }
  }
  Say("press: no TAB key installed\n");
}

void Stall(std::istringstream&) {
  stalled = true;
  Say("stalled\n");
}

void Resume(std::istringstream&) {
  stalled = false;
  Say("resumed\n");
}

void Answer(std::istringstream& words) {
  std::string how, given;
  words >> how >> given;
  uint32_t ms = 0;
  const bool timed = how == "late" || how == "frames";
  if (!(how == "at-once" || (timed && ParseNumber(given, ms) && ms > 0 && ms <= 60000))) {
    Say("error: answer at-once | late MS | frames MS\n");
    return;
  }
  space.pacer.Set(how == "late" ? Answering::Late : Answering::Frames, timed ? ms : 0);
  Say(how == "at-once" ? std::string("answering at once\n")
      : how == "late"  ? "answering " + std::to_string(ms) + " ms late\n"
                       : "answering in frames of " + std::to_string(ms) + " ms\n");
}

void Freeze(std::istringstream&) {
  flying = false;
  Say("frozen\n");
}

void Fly(std::istringstream&) {
  flying = true;
  Say("flying\n");
}

// The replay's console; an error where simstub flies its own aircraft.
void ReplayCommand(bool (*command)(), const char* name) {
  if (!command()) Say(std::string("error: ") + name + " is for a replay\n");
}
void Pause(std::istringstream&) { ReplayCommand(PauseReplay, "pause"); }
void Play(std::istringstream&) { ReplayCommand(PlayReplay, "play"); }
void Step(std::istringstream&) { ReplayCommand(StepReplay, "step"); }

void Quit(std::istringstream&) {
  Say("bye\n");
  platform::ExitProcess(0);
}

}  // namespace

const std::vector<ToolCommand> COMMANDS = {
    {"set", "set OFFSET HEXBYTES", "store bytes (e.g. set 0x0BE0 FF 3F 00 00)", Set},
    {"text", "text OFFSET WORDS", "store a zero-terminated text", Text},
    {"get", "get OFFSET SIZE", "print bytes", Get},
    {"press", "press [VALUE]", "press the TAB hot key (press byte VALUE, default 2)", Press},
    {"stall", "stall | resume", "stop answering clients, and answer again", Stall},
    {"resume", "", "", Resume},
    {"answer", "answer at-once | late MS | frames MS", "answer request lists at once, each MS late, or in frames of MS",
     Answer},
    {"freeze", "freeze | fly", "stop the aircraft, and fly on", Freeze},
    {"fly", "", "", Fly},
    {"pause", "pause | play | step", "replay: stop where it is, play on, move on by one recorded moment", Pause},
    {"play", "", "", Play},
    {"step", "", "", Step},
    {"writes", "writes OFFSET", "how many writes the clients made at the offset", Writes},
    {"lists", "lists", "how many request lists the clients had executed", Lists},
    {"quit", "quit", "", Quit},
};
