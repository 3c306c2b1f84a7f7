// zemrec csv: the blocks' fields by name over time, from the node's own
// layout tables, as a spreadsheet or a plotting program reads them.

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "record/replay_model.h"
#include "simlink/blocks.h"
#include "wire/bytes.h"
#include "zemrec.h"

namespace {

// One column: a field of a block, or one of Block 1's computed doubles.
struct Column {
  std::string name;
  const BlockField* field;        // or nullptr
  const ComputedField* computed;  // or nullptr
};

std::vector<Column> Columns() {
  struct Block {
    const char* prefix;
    BlockLayout layout;
  };
  const Block blocks[] = {{"b1.", Block1Layout()}, {"b2.", Block2Layout()}, {"b3.", Block3Layout()}};
  std::vector<std::pair<uint32_t, Column>> placed;  // ordered by block and place in it
  for (size_t b = 0; b < std::size(blocks); ++b) {
    for (size_t i = 0; i < blocks[b].layout.count; ++i) {
      const BlockField& field = blocks[b].layout.fields[i];
      placed.push_back({static_cast<uint32_t>(b * 1000 + field.blockOffset),
                        {blocks[b].prefix + std::string(field.name), &field, nullptr}});
    }
  }
  const ComputedLayout computed = Block1Computed();
  for (size_t i = 0; i < computed.count; ++i) {
    placed.push_back({computed.fields[i].blockOffset, {std::string("b1.") + computed.fields[i].name, nullptr,
                                                       &computed.fields[i]}});
  }
  std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Column> columns;
  for (auto& entry : placed) columns.push_back(std::move(entry.second));
  return columns;
}

std::string Number(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string HexDigits(const uint8_t* data, size_t size, bool highFirst) {
  std::string out;
  char byte[3];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof byte, "%02X", data[highFirst ? size - 1 - i : i]);
    out += byte;
  }
  return out;
}

std::string Value(const Column& column, const uint8_t* space) {
  if (column.computed != nullptr) {
    const double value = GetI32(space + column.computed->valueOffset);
    const double scale = GetI32(space + column.computed->scaleOffset);
    return Number(value * (scale / 8388608.0));
  }
  const BlockField& f = *column.field;
  const uint8_t* p = space + f.simOffset;
  switch (f.form) {
    case FieldForm::Double:
      return Number(GetF64(p));
    case FieldForm::Signed:
      return f.width == 1   ? std::to_string(static_cast<int8_t>(p[0]))
             : f.width == 2 ? std::to_string(GetI16(p))
             : f.width == 4 ? std::to_string(GetI32(p))
                            : std::to_string(static_cast<int64_t>(GetU64(p)));
    case FieldForm::Unsigned:
      return f.width == 1   ? std::to_string(p[0])
             : f.width == 2 ? std::to_string(GetU16(p))
             : f.width == 4 ? std::to_string(GetU32(p))
                            : std::to_string(GetU64(p));
    case FieldForm::Bcd:
      return HexDigits(p, f.width, true);
    case FieldForm::Text:
      return Quoted(std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), f.width)));
    case FieldForm::Bytes:
      return HexDigits(p, f.width, false);
  }
  return "";
}

// Notes whether a move changed any byte that a column shows.
struct Watch : ReplayModel::Visitor {
  std::vector<uint8_t> shown = std::vector<uint8_t>(RECORDED_SPACE_SIZE, 0);
  bool touched = false;
  void Changed(uint16_t offset, const uint8_t*, uint16_t size) override {
    for (uint32_t i = offset; i < static_cast<uint32_t>(offset) + size && !touched; ++i) touched = shown[i] != 0;
  }
};

}  // namespace

void BlocksAsCsv(const Recording& recording, const std::function<void(const std::string& line)>& emit) {
  const std::vector<Column> columns = Columns();
  Watch watch;
  auto mark = [&](uint32_t offset, uint32_t width) {
    std::fill_n(watch.shown.begin() + offset, std::min(width, RECORDED_SPACE_SIZE - offset), uint8_t{1});
  };
  std::string line = "time_s";
  for (const Column& column : columns) {
    line += "," + column.name;
    if (column.field != nullptr) mark(column.field->simOffset, column.field->width);
    if (column.computed != nullptr) {
      mark(column.computed->valueOffset, 4);
      mark(column.computed->scaleOffset, 4);
    }
  }
  emit(line + "\n");
  ReplayModel model(recording);
  for (uint32_t time = 0; model.NextTime(time);) {
    watch.touched = false;
    model.MoveTo(time, &watch);
    if (!watch.touched) continue;
    char stamp[24];
    std::snprintf(stamp, sizeof stamp, "%u.%03u", time / 1000, time % 1000);
    line = stamp;
    for (const Column& column : columns) line += "," + Value(column, model.space().data());
    emit(line + "\n");
  }
}
