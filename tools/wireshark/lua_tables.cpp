// Writes the Wireshark dissector with the node's own tables filled in: the
// widths of the simulator index map (from the variable table), the block
// and record layouts, the message types and the station names. The
// dissector is never told a width or an offset by hand.
//   zemsim_lua_tables TEMPLATE OUTPUT

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "process/fatal.h"
#include "simlink/blocks.h"
#include "traffic/traffic.h"
#include "vardb/var_table.h"
#include "wire/msg_header.h"

namespace {

constexpr const char* MARKER = "--@TABLES@";

std::string Layout(const char* name, const BlockLayout& layout) {
  std::string text = std::string("T.") + name + " = {\n";
  for (size_t i = 0; i < layout.count; ++i) {
    const BlockField& field = layout.fields[i];
    char line[80];
    std::snprintf(line, sizeof line, "  {at = %u, width = %u, offset = 0x%04X},\n", field.blockOffset, field.width,
                  field.simOffset);
    text += line;
  }
  return text + "}\n";
}

std::string Tables() {
  std::ostringstream lua;
  lua << "-- Generated from the node's tables when the node was built.\n";
  lua << "local T = {}\n";
  lua << "T.version = " << MSG_VERSION << "\n";
  lua << "T.header_size = " << MSG_HEADER_SIZE << "\n";
  lua << "T.block_data = " << MSG_BLOCK_DATA_OFFSET << "\n";
  lua << "T.data_class = " << MSG_CLASS_DATA << "\nT.network_class = " << MSG_CLASS_NETWORK << "\n";

  struct Type {
    uint32_t msgClass, type;
    const char* name;
    size_t size;  // 0: of no fixed size
  };
  const Type types[] = {
      {MSG_CLASS_NETWORK, MSG_ADR, "MSG_ADR", 0},
      {MSG_CLASS_NETWORK, MSG_KEEP_ALIVE, "MSG_KEEP_ALIVE", 0},
      {MSG_CLASS_NETWORK, MSG_SHUTDOWN, "MSG_SHUTDOWN", 0},
      {MSG_CLASS_NETWORK, MSG_SYS_LOG, "MSG_SYS_LOG", 0},
      {MSG_CLASS_DATA, MSG_FSX_IN, "MSG_FSX_IN", 0},
      {MSG_CLASS_DATA, MSG_UPDATE, "MSG_UPDATE", 0},
      {MSG_CLASS_DATA, MSG_SYSLOG_TEXT, "MSG_SYSLOG_TEXT", 0},
      {MSG_CLASS_DATA, MSG_BLOCK_1, "MSG_BLOCK_1", BLOCK_1_SIZE},
      {MSG_CLASS_DATA, MSG_BLOCK_2, "MSG_BLOCK_2", BLOCK_2_SIZE},
      {MSG_CLASS_DATA, MSG_BLOCK_3, "MSG_BLOCK_3", BLOCK_3_SIZE},
      {MSG_CLASS_DATA, MSG_AIR_TRAFFIC, "MSG_AIR_TRAFFIC", TRAFFIC_MESSAGE_SIZE},
      {MSG_CLASS_DATA, MSG_GND_TRAFFIC, "MSG_GND_TRAFFIC", TRAFFIC_MESSAGE_SIZE},
      {MSG_CLASS_DATA, MSG_REMOTE_DATA, "MSG_REMOTE_DATA", MSG_HEADER_SIZE + REMOTE_DATA_SIZE},
  };
  lua << "T.types = {\n";
  for (const Type& type : types) {
    lua << "  [" << type.msgClass * 1000 + type.type << "] = {name = \"" << type.name << "\", class = " << type.msgClass
        << ", type = " << type.type << ", size = " << type.size << "},\n";
  }
  lua << "}\n";
  lua << "T.node = " << NODE_SIM << "\n";

  lua << "T.stations = {";
  for (int32_t id = -1; id < 100; ++id) {
    std::string tag = StationTag(id);
    if (tag == StationTag(-1)) continue;
    tag = tag.substr(0, tag.find(':'));
    lua << " [" << id << "] = \"" << tag << "\",";
  }
  lua << " }\n";

  // Width in bytes of the value that follows each index of the map.
  InitDB();
  lua << "T.index_widths = {";
  for (int32_t index = 0; index < MAX_FSXS; ++index) {
    int32_t type = FsxVarType(index);
    if (type == VAR_TYPE_INT) lua << " [" << index << "] = 4,";
    if (type == VAR_TYPE_DOUBLE || type == VAR_TYPE_DOUBLE_1) lua << " [" << index << "] = 8,";
  }
  lua << " }\n";

  lua << Layout("block1", Block1Layout()) << Layout("block2", Block2Layout()) << Layout("block3", Block3Layout())
      << Layout("remote", RemoteDataLayout());
  lua << "T.computed = {\n";
  const ComputedLayout computed = Block1Computed();
  for (size_t i = 0; i < computed.count; ++i) {
    char line[96];
    std::snprintf(line, sizeof line, "  {at = %u, value = 0x%04X, scale = 0x%04X},\n", computed.fields[i].blockOffset,
                  computed.fields[i].valueOffset, computed.fields[i].scaleOffset);
    lua << line;
  }
  lua << "}\n";
  lua << "T.traffic = {records = " << TRAFFIC_RECORDS << ", size = " << TRAFFIC_RECORD_SIZE
      << ", latitude = " << TrafficRecordField::Latitude << ", longitude = " << TrafficRecordField::Longitude
      << ", altitude = " << TrafficRecordField::Altitude << ", heading = " << TrafficRecordField::Heading
      << ", speed = " << TrafficRecordField::GroundSpeed << ", id = " << TrafficRecordField::ObjID
      << ", ident = " << TrafficRecordField::Ident << ", ident_size = " << TrafficRecordField::IDENT_CAPACITY << "}\n";
  return lua.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: zemsim_lua_tables TEMPLATE OUTPUT\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream source;
  source << in.rdbuf();
  std::string text = source.str();
  const size_t at = text.find(MARKER);
  if (!in || at == std::string::npos) {
    std::fprintf(stderr, "zemsim_lua_tables: no %s line in %s\n", MARKER, argv[1]);
    return 1;
  }
  text.replace(at, std::string(MARKER).size(), Tables());
  std::ofstream out(argv[2], std::ios::binary);
  out << text;
  return out ? 0 : 1;
}
