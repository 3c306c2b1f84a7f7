#pragma once
// Every offset the node reads or writes, and how fgbridge serves it from
// FlightGear's property tree: the property and its conversion, or, where
// FlightGear has no such thing, what the offset holds instead.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the node reads.
enum class ReadForm : uint8_t {
  Double,    // 8-byte IEEE double: (value + add) x scale
  Signed,    // signed integer of the width, rounded: (value + add) x scale
  Unsigned,  // unsigned integer of the width, rounded and wrapped
  Radio,     // MHz as four BCD digits without the leading 1: 123.45 is 0x2345
  AdfMain,   // kHz: hundreds, tens and units in BCD (344.5 kHz is 0x0344)
  AdfExtra,  // kHz: the thousands digit in the high byte, tenths in the low nibble
  Text,      // zero-terminated text cut to the width
  Bit,       // one bit (scale is its mask) of the field, set while the property is true
  Constant,  // no property: scale is the value, every read
  Local,     // no property: what the node wrote last (0 at start)
};

struct ReadMapping {
  uint16_t offset;
  uint8_t width;
  ReadForm form;
  const char* property;  // nullptr for Constant and Local
  double scale;
  double add;
  const char* meaning;
};

// What the node's writes do in FlightGear.
enum class WriteForm : uint8_t {
  Scaled,   // property = value / scale - add (signed value of the width)
  Circle,   // property = value / scale (the 16-bit word unsigned: a heading)
  Flag,     // property = true when the value is not 0
  Radio,    // property = the frequency of the four BCD digits, in MHz
  Adf,      // receiver's kHz from the main word here and the extension word at extraOffset
  Swap,     // bits of one byte: 8 COM1, 4 COM2, 2 NAV1, 1 NAV2 swap their standby frequency in
  Bit,      // property = the bit (scale is its mask) of the field
  Master,   // not 0: the autopilot's wing leveller on; 0: every autopilot mode off
  Local,    // kept in the view only: FlightGear has no such thing
};

struct WriteMapping {
  uint16_t offset;
  uint8_t width;
  WriteForm form;
  const char* property;
  double scale;
  double add;
  uint16_t extraOffset;
  const char* meaning;
};

const std::vector<ReadMapping>& ReadMappings();
const std::vector<WriteMapping>& WriteMappings();

// The property paths the view needs, each once, in a stable order.
std::vector<std::string> ViewProperties();

// The bytes of one read mapping for the property's text value (ignored for
// Constant and Local).
void EncodeRead(const ReadMapping& mapping, const std::string& value, uint8_t* field);

// The property assignments a write of these field bytes stands for, as
// (path, value) pairs; `view` holds the offset space after the write, for
// the other half of a split frequency and for the frequencies a swap
// exchanges.
std::vector<std::pair<std::string, std::string>> DecodeWrite(const WriteMapping& mapping, const uint8_t* view);

// The table of both, as docs/flightgear.md carries it (Markdown).
std::string MappingTable();
