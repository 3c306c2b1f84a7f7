// What the node sends, counted by type and shown as the cockpit's displays
// would read it.

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>

#include "commgr.h"
#include "commgr/web_decode.h"
#include "commgr/web_server.h"
#include "common/output.h"
#include "simlink/blocks.h"
#include "traffic/traffic.h"
#include "vardb/conversions.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

namespace {

struct TypeStats {
  uint64_t count = 0;
  uint32_t lastSeq = 0;
  uint64_t countAtLastReport = 0;
};
std::mutex statsLock;
std::map<std::pair<uint32_t, uint32_t>, TypeStats> stats;
std::map<uint32_t, std::vector<uint8_t>> lastDataMessage;  // by data message type
auto lastReport = std::chrono::steady_clock::now();

void ShowTraffic(const uint8_t* message, const char* kind, uint32_t seq) {
  std::string text;
  int aircraft = 0;
  for (size_t i = 0; i < TRAFFIC_RECORDS; ++i) {
    const uint8_t* r = message + MSG_BLOCK_DATA_OFFSET + i * TRAFFIC_RECORD_SIZE;
    uint32_t id = GetU32(r + TrafficRecordField::ObjID);
    if (id == 0) continue;
    ++aircraft;
    char ident[TrafficRecordField::IDENT_CAPACITY + 1] = {};
    std::memcpy(ident, r + TrafficRecordField::Ident, TrafficRecordField::IDENT_CAPACITY);
    text += Format("  aircraft id=%u ident=%s lat=%.4f lon=%.4f alt=%.0f hdg=%.1f gs=%.0f\n", id, ident,
                   GetF64(r + TrafficRecordField::Latitude), GetF64(r + TrafficRecordField::Longitude),
                   GetF64(r + TrafficRecordField::Altitude), GetF64(r + TrafficRecordField::Heading),
                   GetF64(r + TrafficRecordField::GroundSpeed));
  }
  Say(Format("recv %s traffic seq=%u aircraft=%d\n", kind, seq, aircraft) + text);
}

// The values the cockpit's displays read from each block, each as it shows
// them, one line below the block's own (--verbose).
double BlockDouble(const uint8_t* message, const BlockLayout& layout, uint16_t simOffset) {
  return GetF64(message + FieldAt(layout, simOffset));
}
int32_t BlockInt(const uint8_t* message, const BlockLayout& layout, uint16_t simOffset) {
  return GetI32(message + FieldAt(layout, simOffset));
}
std::string Frequency(const uint8_t* word) { return Format("1%02X.%02X", word[1], word[0]); }

std::string Block1Values(const uint8_t* m) {
  const BlockLayout b1 = Block1Layout();
  // Fuel: each tank's capacity times its level (8388608 = full), as the block computes it.
  const double fuel = GetF64(m + 200) + GetF64(m + 208) + GetF64(m + 216);
  return Format("  values rpm=%.0f n1=%.1f fuel_flow_pph=%.1f cht_f=%.0f fuel_gal=%.1f\n", BlockDouble(m, b1, 0x2400),
                BlockDouble(m, b1, 0x2010), BlockDouble(m, b1, 0x0918), BlockDouble(m, b1, 0x08E8), fuel);
}

std::string Block2Values(const uint8_t* m) {
  const BlockLayout b2 = Block2Layout();
  return Format("  values flaps=%.3f flap_lever=%d com1=%s com1_standby=%s nav1=%s nav1_course=%u avionics=%d\n",
                GetI32(m + Block2Field::FlapExtension) / 16383.0, GetI32(m + Block2Field::FlapPosition),
                Frequency(m + Block2Field::Com1).c_str(), Frequency(m + FieldAt(b2, 0x311A)).c_str(),
                Frequency(m + Block2Field::Nav1).c_str(), GetU16(m + Block2Field::Course1), BlockInt(m, b2, 0x2E80));
}

std::string Block3Values(const uint8_t* m) {
  const BlockLayout b3 = Block3Layout();
  const int32_t adf = AdfToTenths(GetI16(m + Block3Field::Adf1Main), GetI16(m + Block3Field::Adf1Extension));
  return Format("  values lat=%.6f lon=%.6f altimeter_ft=%d heading=%.2f pitch=%.2f bank=%.2f ias=%.2f vs_fpm=%.0f "
                "adf1=%.1f ap_hdg=%.2f ap=%d hdg_hold=%d\n",
                BlockDouble(m, b3, 0x6010), BlockDouble(m, b3, 0x6018), BlockInt(m, b3, 0x3324),
                BlockDouble(m, b3, 0x2B00), -BlockInt(m, b3, 0x0578) * 360.0 / 4294967296.0,
                -BlockInt(m, b3, 0x057C) * 360.0 / 4294967296.0, BlockInt(m, b3, 0x02BC) / 128.0,
                BlockInt(m, b3, 0x02C8) / 256.0 / 0.3048 * 60.0, adf / 10.0,
                GetU16(m + Block3Field::Heading) * 360.0 / 65536.0, BlockInt(m, b3, 0x07BC), BlockInt(m, b3, 0x07C8));
}

}  // namespace

void ShowMessage(const uint8_t* message, int length) {
  if (length < static_cast<int>(MSG_HEADER_SIZE)) {
    Say(Format("recv short datagram of %d bytes\n", length));
    return;
  }
  MsgHeader header = ReadMsgHeader(message);
  if (web) {
    const int64_t at = WallClockMs();
    ChangeWebState([&](WebState& state) { NoteDatagram(state, message, static_cast<size_t>(length), at); });
  }
  {
    std::lock_guard<std::mutex> guard(statsLock);
    TypeStats& entry = stats[{header.MsgClass, header.MsgType}];
    ++entry.count;
    entry.lastSeq = header.SeqNo;
    if (header.MsgClass == MSG_CLASS_DATA) lastDataMessage[header.MsgType].assign(message, message + length);
  }
  if (hex && header.MsgClass == MSG_CLASS_DATA) {
    std::string line = Format("hex type=%u ", header.MsgType);
    for (int i = 0; i < length; ++i) line += Format("%02X", message[i]);
    Say(line + "\n");
  }
  if (!verbose) return;
  const uint32_t seq = header.SeqNo;
  if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_BLOCK_1 && length == BLOCK_1_SIZE) {
    // 0x2010 and 0x2110: N1 of engines 1 and 2
    Say(Format("recv block1 seq=%u len=%d n1=%.1f/%.1f\n", seq, length, GetF64(message + FieldAt(Block1Layout(), 0x2010)),
               GetF64(message + FieldAt(Block1Layout(), 0x2110))) +
        Block1Values(message));
  } else if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_BLOCK_2 && length == BLOCK_2_SIZE) {
    char model[Block2Field::MODEL_NAME_CAPACITY + 1] = {};
    std::memcpy(model, message + Block2Field::ModelName, Block2Field::MODEL_NAME_CAPACITY);
    Say(Format("recv block2 seq=%u model=%s activation=%u com1=1%02X.%02X nav1=1%02X.%02X\n", seq, model,
               GetU16(message + Block2Field::ActivationFlag), message[Block2Field::Com1 + 1],
               message[Block2Field::Com1], message[Block2Field::Nav1 + 1], message[Block2Field::Nav1]) +
        Block2Values(message));
  } else if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_BLOCK_3 && length == BLOCK_3_SIZE) {
    // 0x02BC indicated airspeed (knots x 128), 0x057C bank (360/2^32 degrees)
    Say(Format("recv block3 seq=%u connected=%u hotkey=%u changes=%u ias=%.0f bank=%.1f ap_hdg=%.0f\n", seq,
               message[Block3Field::ConnectedByte], message[Block3Field::HotKeyByte],
               GetU32(message + Block3Field::FsChangeCount), GetU32(message + FieldAt(Block3Layout(), 0x02BC)) / 128.0,
               GetI32(message + FieldAt(Block3Layout(), 0x057C)) * 360.0 / 4294967296.0, GetU16(message + Block3Field::Heading) * 360.0 / 65536.0) +
        Block3Values(message));
  } else if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_AIR_TRAFFIC && length == TRAFFIC_MESSAGE_SIZE) {
    ShowTraffic(message, "air", seq);
  } else if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_GND_TRAFFIC && length == TRAFFIC_MESSAGE_SIZE) {
    ShowTraffic(message, "ground", seq);
  } else if (header.MsgClass == MSG_CLASS_DATA && header.MsgType == MSG_REMOTE_DATA && length == 72) {
    // heading 0x0580, bank 0x057C, pitch 0x0578, altitude 0x0570, latitude 0x0560, longitude 0x0568
    const uint8_t* r = message + MSG_HEADER_SIZE;
    auto at = [r](uint16_t simOffset) { return r + FieldAt(RemoteDataLayout(), simOffset); };
    Say(Format("recv remote heading=%u bank=%d pitch=%d altitude=%lld latitude=%lld longitude=%lld\n",
               GetU32(at(0x0580)), GetI32(at(0x057C)), GetI32(at(0x0578)), static_cast<long long>(GetU64(at(0x0570))),
               static_cast<long long>(GetU64(at(0x0560))), static_cast<long long>(GetU64(at(0x0568)))));
  } else {
    Say(Format("recv class=%u type=%u seq=%u len=%d\n", header.MsgClass, header.MsgType, seq, length));
  }
}

void ReportStats() {
  auto now = std::chrono::steady_clock::now();
  std::string text;
  {
    std::lock_guard<std::mutex> guard(statsLock);
    double seconds = std::chrono::duration<double>(now - lastReport).count();
    lastReport = now;
    for (auto& [key, entry] : stats) {
      double rate = seconds > 0 ? static_cast<double>(entry.count - entry.countAtLastReport) / seconds : 0;
      entry.countAtLastReport = entry.count;
      text += Format("stats class=%u type=%u count=%llu rate=%.2f/s last_seq=%u name=%s\n", key.first, key.second,
                     static_cast<unsigned long long>(entry.count), rate, entry.lastSeq, MessageTypeName(key.first, key.second));
    }
  }
  Say(text.empty() ? "stats none\n" : text);
}

std::vector<uint8_t> LastDataMessage(uint32_t type) {
  std::lock_guard<std::mutex> guard(statsLock);
  auto found = lastDataMessage.find(type);
  return found == lastDataMessage.end() ? std::vector<uint8_t>{} : found->second;
}
