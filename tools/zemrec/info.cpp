// zemrec info: what a recording holds.

#include <cstdio>
#include <map>

#include "record/recorder.h"
#include "zemrec.h"

namespace {

std::string Seconds(uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%03u s", ms / 1000, ms % 1000);
  return text;
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

void Line(std::string& out, const char* label, const std::string& text) {
  char head[16];
  std::snprintf(head, sizeof head, "%-12s", label);
  out += head + text + "\n";
}

std::string Plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string DescribeRecording(const Recording& r, const std::string& name) {
  const RecordingHeader& h = r.header;
  std::string out;
  Line(out, "file", name + ", " + std::to_string(r.bytes.size()) + " bytes, format version " +
                        std::to_string(h.formatVersion));
  Line(out, "node", "ZemSim " + h.nodeVersion + ", restart count " + std::to_string(h.restartCount) +
                        ", udpinterval " + std::to_string(h.udpinterval) + " ms, udpwait " +
                        std::to_string(h.udpwait) + " ms, remote " + (h.remote ? "on" : "off"));
  const UtcMoment m = UtcMomentOf(h.startUtcMs);
  char started[48];
  std::snprintf(started, sizeof started, "%04d-%02d-%02d %02d:%02d:%02d.%03d UTC", m.year, m.month, m.day, m.hour,
                m.minute, m.second, m.millisecond);
  Line(out, "started", started);
  const uint32_t duration = r.items.empty() ? 0 : r.items.back().timeMs;
  Line(out, "duration", Seconds(duration));

  std::map<RecordType, size_t> counts;
  size_t changedBytes = 0;
  std::string simulators, plans, restarts, gaps;
  size_t comMgrUp = 0, comMgrDown = 0, simulatorDown = 0;
  for (const RecordedItem& item : r.items) {
    ++counts[item.type];
    if (item.type == RecordType::Answers) {
      for (size_t s = item.firstSpan; s < item.firstSpan + item.spanCount; ++s) changedBytes += r.spans[s].size;
    } else if (item.type == RecordType::Plan) {
      plans += (plans.empty() ? "" : "\n            ") + std::string("at ") + Seconds(item.timeMs) + ": " +
               item.text + " (" + std::to_string(item.dataSize) + " bytes)";
    } else if (item.type == RecordType::Event) {
      switch (item.event) {
        case EventCode::SimulatorConnected:
          simulators += (simulators.empty() ? "" : "\n            ") + std::string("at ") + Seconds(item.timeMs) +
                        ": " + (item.state.where.empty() ? "?" : item.state.where) + ", server version " +
                        Hex(item.state.serverVersion, 8) + ", simulator version " +
                        Hex(item.state.simulatorVersion, 4);
          break;
        case EventCode::SimulatorLost:
          ++simulatorDown;
          break;
        case EventCode::ComMgrConnected:
          ++comMgrUp;
          break;
        case EventCode::ComMgrLost:
          ++comMgrDown;
          break;
        case EventCode::Restart:
          restarts += (restarts.empty() ? "" : ", ") + std::string("at ") + Seconds(item.timeMs) +
                      " (the successor's count " + std::to_string(item.value) + ")";
          break;
        case EventCode::Gap:
          gaps += (gaps.empty() ? "" : ", ") + std::string("from ") + Seconds(item.timeMs) + " to the end: " +
                  (item.value == static_cast<int32_t>(GapReason::QueueFull) ? "the disk did not keep up"
                                                                            : "the file could not be written");
          break;
        case EventCode::End:
          break;
      }
    }
  }
  Line(out, "simulators", (simulators.empty() ? std::string("none connected") : simulators) + "\n            " +
                              "lost " + Plural(simulatorDown, "time", "times"));
  Line(out, "ComMgr", "connected " + Plural(comMgrUp, "time", "times") + ", lost " +
                          Plural(comMgrDown, "time", "times"));
  Line(out, "records", Plural(counts[RecordType::Answers], "answer", "answers") + " (" +
                           std::to_string(changedBytes) + " bytes changed), " +
                           Plural(counts[RecordType::Write], "write", "writes") + ", " +
                           Plural(counts[RecordType::Event], "event", "events") + ", " +
                           Plural(counts[RecordType::Plan], "flight plan", "flight plans") + ", " +
                           Plural(counts[RecordType::Image], "image", "images") + ", in " +
                           Plural(r.chunks, "chunk", "chunks"));
  Line(out, "plans", plans.empty() ? "none" : plans);
  Line(out, "restarts", restarts.empty() ? "none" : restarts);
  Line(out, "gaps", gaps.empty() ? "none" : gaps);
  std::string damage;
  for (const std::string& problem : r.problems) damage += (damage.empty() ? "" : "\n            ") + problem;
  Line(out, "damage", damage.empty() ? "none" : damage);
  switch (r.end) {
    case RecordingEnd::Closed:
      Line(out, "end", "closed in order");
      break;
    case RecordingEnd::Open:
      Line(out, "end", "not closed (the node ended without closing it); whole up to byte " +
                           std::to_string(r.wholeEnd));
      break;
    case RecordingEnd::Cut:
      Line(out, "end", "cut short; whole up to byte " + std::to_string(r.wholeEnd));
      break;
    case RecordingEnd::Damaged:
      Line(out, "end", "damaged; read up to byte " + std::to_string(r.wholeEnd));
      break;
  }
  return out;
}
