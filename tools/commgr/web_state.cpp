#include "commgr/web_state.h"

#include <cmath>
#include <cstdio>

namespace {

// Numbers that JSON cannot carry (NaN, infinities) go as null.
std::string Number(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}
std::string Number(int64_t value) { return std::to_string(value); }
std::string Bool(bool value) { return value ? "true" : "false"; }

// Members of one object, written in order.
class Object {
 public:
  Object& Put(const char* name, const std::string& json) {
    text_ += (text_.size() > 1 ? ",\"" : "\"") + std::string(name) + "\":" + json;
    return *this;
  }
  Object& Put(const char* name, double value) { return Put(name, Number(value)); }
  Object& Put(const char* name, int64_t value) { return Put(name, Number(value)); }
  Object& Put(const char* name, int32_t value) { return Put(name, Number(static_cast<int64_t>(value))); }
  Object& Put(const char* name, uint32_t value) { return Put(name, Number(static_cast<int64_t>(value))); }
  Object& Put(const char* name, bool value) { return Put(name, Bool(value)); }
  Object& Text(const char* name, const std::string& value) { return Put(name, JsonString(value)); }
  std::string Done() { return text_ + "}"; }

 private:
  std::string text_ = "{";
};

template <typename T, typename Write>
std::string Array(const T& items, Write write) {
  std::string text = "[";
  for (const auto& item : items) text += (text.size() > 1 ? "," : "") + write(item);
  return text + "]";
}

std::string Numbers(const std::array<double, ENGINES>& values, int32_t count) {
  std::string text = "[";
  for (int32_t i = 0; i < count && i < static_cast<int32_t>(ENGINES); ++i) {
    text += (i ? "," : "") + Number(values[static_cast<size_t>(i)]);
  }
  return text + "]";
}

// A group: its arrival, then its values, or null before it arrived.
template <typename Fill>
std::string Group(const Arrival& from, Fill fill) {
  if (!from.seen) return "null";
  Object object;
  object.Put("seq", from.seq).Put("at", from.at);
  fill(object);
  return object.Done();
}

std::string Engines(const EngineView& e) {
  return Group(e.from, [&](Object& o) {
    o.Put("engines", e.engines)
        .Put("n1", Numbers(e.n1, e.engines))
        .Put("rpm", Numbers(e.rpm, e.engines))
        .Put("fuelFlow", Numbers(e.fuelFlow, e.engines))
        .Put("fuelGallons", e.fuelGallons);
  });
}

std::string Radios(const RadioView& r) {
  return Group(r.from, [&](Object& o) {
    o.Text("model", r.model)
        .Text("com1", r.com1).Text("com1Standby", r.com1Standby)
        .Text("com2", r.com2).Text("com2Standby", r.com2Standby)
        .Text("nav1", r.nav1).Text("nav1Standby", r.nav1Standby)
        .Text("nav2", r.nav2).Text("nav2Standby", r.nav2Standby)
        .Put("course1", r.course1).Put("course2", r.course2)
        .Put("flaps", r.flaps).Put("flapPosition", r.flapPosition).Put("flapPositions", r.flapPositions)
        .Put("gear", r.gear).Put("approachHold", r.approachHold).Put("avionics", r.avionics);
  });
}

std::string Autopilot(const AutopilotView& a) {
  return Object()
      .Put("master", a.master).Put("navHold", a.navHold).Put("headingHold", a.headingHold)
      .Put("altitudeHold", a.altitudeHold).Put("speedHold", a.speedHold)
      .Put("autothrottle", a.autothrottle).Put("flightDirector", a.flightDirector)
      .Put("heading", a.heading).Put("altitude", a.altitude).Put("speed", a.speed)
      .Put("verticalSpeed", a.verticalSpeed)
      .Done();
}

std::string Flight(const FlightView& f) {
  return Group(f.from, [&](Object& o) {
    o.Put("latitude", f.latitude).Put("longitude", f.longitude).Put("altitude", f.altitude)
        .Put("heading", f.heading).Put("pitch", f.pitch).Put("bank", f.bank)
        .Put("airspeed", f.airspeed).Put("trueAirspeed", f.trueAirspeed).Put("groundSpeed", f.groundSpeed)
        .Put("verticalSpeed", f.verticalSpeed).Text("adf1", f.adf1).Text("adf2", f.adf2)
        .Put("autopilot", Autopilot(f.autopilot)).Put("simulatorConnected", f.simulatorConnected);
  });
}

std::string Traffic(const TrafficView& t) {
  return Group(t.from, [&](Object& o) {
    o.Put("aircraft", Array(t.aircraft, [](const TrafficView::Aircraft& a) {
      return Object()
          .Put("id", a.id).Text("ident", a.ident)
          .Put("latitude", a.latitude).Put("longitude", a.longitude).Put("altitude", a.altitude)
          .Put("heading", a.heading).Put("groundSpeed", a.groundSpeed)
          .Done();
    }));
  });
}

std::string Link(const LinkView& l, int64_t now) {
  return Object()
      .Put("registered", l.registered).Text("node", l.node).Put("talking", l.talking)
      .Put("sinceLastMs", l.lastMessageAt == 0 ? std::string("null") : Number(now - l.lastMessageAt))
      .Put("sequenceGaps", static_cast<int64_t>(l.sequenceGaps))
      .Put("messages", Array(l.messages, [now](const MessageCount& m) {
        int64_t recent = 0;
        for (int64_t at : m.recent) recent += at > now - 2000 && at <= now ? 1 : 0;
        return Object()
            .Text("name", m.name).Put("class", m.msgClass).Put("type", m.msgType)
            .Put("count", static_cast<int64_t>(m.count)).Put("perSecond", static_cast<double>(recent) / 2.0)
            .Done();
      }))
      .Done();
}

std::string Point(const TrackPoint& p) { return "[" + Number(p.latitude) + "," + Number(p.longitude) + "]"; }

}  // namespace

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      json += escape;
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + "\"";
}

std::string StateJson(const WebState& state, int64_t now, bool wholeTrack) {
  std::string track = "[]";
  if (wholeTrack) {
    track = Array(state.track, Point);
  } else if (!state.track.empty()) {
    track = "[" + Point(state.track.back()) + "]";
  }
  return Object()
      .Put("now", now)
      .Put("link", Link(state.link, now))
      .Put("engines", Engines(state.engines))
      .Put("radios", Radios(state.radios))
      .Put("flight", Flight(state.flight))
      .Put("air", Traffic(state.air))
      .Put("ground", Traffic(state.ground))
      .Put("track", track)
      .Put("wholeTrack", wholeTrack)
      .Put("trackCount", static_cast<int64_t>(state.trackCount))
      .Done();
}
