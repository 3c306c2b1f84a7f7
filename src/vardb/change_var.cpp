#include "vardb/change_var.h"

#include <cmath>

#include "process/log.h"
#include "process/print.h"
#include "process/report_limit.h"
#include "process/settings.h"
#include "process/syslog.h"
#include "process/syslog_text.h"
#include "process/text.h"
#include "simlink/blocks.h"
#include "simlink/sim_connection.h"
#include "traffic/traffic_state.h"
#include "vardb/conversions.h"
#include "vardb/fsx_index.h"
#include "wire/bytes.h"
#include "wire/msg_header.h"

namespace {

// ---- Writes ------------------------------------------------------------------

void Write1(uint32_t offset, uint8_t value) { FSUIPCWrite(offset, 1, &value); }

void Write2(uint32_t offset, uint32_t value) {
  uint8_t bytes[2];
  PutU16(bytes, static_cast<uint16_t>(value));
  FSUIPCWrite(offset, 2, bytes);
}

void Write4(uint32_t offset, uint32_t value) {
  uint8_t bytes[4];
  PutU32(bytes, value);
  FSUIPCWrite(offset, 4, bytes);
}

// Last values the polling loop read, as the knob steps start from them.
uint16_t StartWord(StartField field) { return static_cast<uint16_t>(StartingValue(field)); }
int16_t StartShort(StartField field) { return static_cast<int16_t>(StartWord(field)); }
int32_t StartLong(StartField field) { return static_cast<int32_t>(StartingValue(field)); }

// Knob step codes: 1 adds the small step, 2 the large, 3 and 4 subtract them.
double Stepped(double start, int32_t code, double small, double large) {
  switch (code) {
    case 1:
      return start + small;
    case 2:
      return start + large;
    case 3:
      return start - small;
    case 4:
      return start - large;
    default:
      return start;
  }
}

// One correction into 0..360 (360 itself stays).
double Wrapped(double degrees) {
  if (degrees < 0) return degrees + 360.0;
  if (degrees > 360.0) return degrees - 360.0;
  return degrees;
}

constexpr double FEET_TO_ALTITUDE_UNITS = 65536.0 * 0.3048;
constexpr double DEGREES_TO_HEADING_UNITS = 65536.0 / 360.0;

// ---- The integer form's dispatch table ------------------------------------------

struct IntChange;
using IntEffect = void (*)(const IntChange& row, int32_t value);

struct IntChange {
  int32_t fsxIndex;
  IntEffect effect;
  uint16_t offset;  // the simulator offset the effect writes (or the block field it steps)
  int32_t param;    // a constant, a step, or a receiver
};

void WriteValue2(const IntChange& row, int32_t value) { Write2(row.offset, static_cast<uint32_t>(value)); }
void WriteValue4(const IntChange& row, int32_t value) { Write4(row.offset, static_cast<uint32_t>(value)); }
void WriteFlag4(const IntChange& row, int32_t value) { Write4(row.offset, value != 0 ? 1 : 0); }
void WriteConstantByte(const IntChange& row, int32_t) { Write1(row.offset, static_cast<uint8_t>(row.param)); }
void WriteNothing(const IntChange&, int32_t) {}

void WriteSwitch16383(const IntChange& row, int32_t value) { Write4(row.offset, value == 0 ? 0 : 0x3FFF); }

void WriteNonZero4(const IntChange& row, int32_t value) {
  if (value != 0) Write4(row.offset, static_cast<uint32_t>(value));
}

void AutoVerticalSpeed(const IntChange& row, int32_t value) {
  if (Settings.debugIncoming) {
    PrintFormat("ChangeVarDefault(1, FSX_AUTOVERTSPEED) - Value: %d  IntValue: %d\n", value, value);
  }
  Write2(row.offset, static_cast<uint32_t>(value));
}

// Read, change and write back; a failed read writes nothing.
void ToggleBit2(const IntChange& row, int32_t value) {
  uint8_t bytes[2] = {};
  if (FSUIPCRead(row.offset, 2, bytes) != 1) return;
  uint16_t word = GetU16(bytes);
  word = value == 1 ? static_cast<uint16_t>(word | 0x0004) : static_cast<uint16_t>(word & ~0x0004);
  Write2(row.offset, word);
}

void AdjustDouble(const IntChange& row, int32_t value) {
  uint8_t bytes[8] = {};
  if (FSUIPCRead(row.offset, 8, bytes) != 1) return;
  double current = GetF64(bytes);
  if (value == 1) current += 0.3048;
  if (value == 2) current -= 0.3048;
  PutF64(bytes, current);
  FSUIPCWrite(row.offset, 8, bytes);
}

void AdjustShort(const IntChange& row, int32_t value) {
  uint8_t bytes[2] = {};
  if (FSUIPCRead(row.offset, 2, bytes) != 1) return;
  int32_t current = GetI16(bytes);
  if (value == 1) current += 5;
  if (value == 2) current -= 5;
  Write2(row.offset, static_cast<uint32_t>(current));
}

// Band steps of the radio in the Block 2 field of that offset.
StartField Block2FieldOf(uint16_t offset) {
  switch (offset) {
    case 0x0350:
      return StartField::Nav1;
    case 0x0352:
      return StartField::Nav2;
    case 0x034E:
      return StartField::Com1;
    case 0x3118:
      return StartField::Com2;
    case 0x0C4E:
      return StartField::Course1;
    default:
      return StartField::Course2;
  }
}

void NavStep(const IntChange& row, int32_t) { StepNavFrequency(StartWord(Block2FieldOf(row.offset)), row.param, row.offset); }
void ComStep(const IntChange& row, int32_t) { StepComFrequency(StartWord(Block2FieldOf(row.offset)), row.param, row.offset); }
void NavFold(const IntChange& row, int32_t value) { StepNavFrequency(static_cast<uint16_t>(value), 0, row.offset); }
void ComFold(const IntChange& row, int32_t value) { StepComFrequency(static_cast<uint16_t>(value), 0, row.offset); }

void CourseStep(const IntChange& row, int32_t code) {
  double course = Wrapped(Stepped(StartWord(Block2FieldOf(row.offset)), code, 1, 10));
  Write2(row.offset, TruncateToBits(course));
}

// The autopilot's altitude and heading are held in the simulator's units;
// the steps are in feet and degrees.
void AltitudeStep(const IntChange& row, int32_t code) {
  double feet = StartLong(StartField::Altitude) / FEET_TO_ALTITUDE_UNITS;
  feet = Stepped(feet, code, 100, 1000);
  if ((code == 3 || code == 4) && feet < 0) feet = 0;
  Write4(row.offset, TruncateToBits(feet * 65536.0 * 0.3048));
}

void HeadingStep(const IntChange& row, int32_t code) {
  double degrees = StartShort(StartField::Heading) / DEGREES_TO_HEADING_UNITS;
  degrees = Wrapped(Stepped(degrees, code, 1, 10));
  Write2(row.offset, TruncateToBits(degrees * 65536.0 / 360.0));
}

void SpeedStep(const IntChange& row, int32_t code) {
  double speed = Stepped(StartShort(StartField::Speed), code, 1, 10);
  if (speed < 0) speed = 0;
  Write2(row.offset, TruncateToBits(speed));
}

void ApproachClear(const IntChange& row, int32_t value) {
  if (value == 0) {
    const uint8_t zeros[8] = {};
    FSUIPCWrite(row.offset, 8, zeros);
  } else {
    Write4(row.offset, static_cast<uint32_t>(value));
  }
}

void HeadingSet(const IntChange& row, int32_t value) { Write2(row.offset, TruncateToBits(value * 65536.0 / 360.0)); }

void AltitudeSet(const IntChange& row, int32_t value) {
  Write4(row.offset, TruncateToBits((value + 0.01) * 65536.0 * 0.3048));
}

void SpeedSet(const IntChange& row, int32_t value) {
  double speed = value + 0.01;
  if (speed < 0) speed = 0;
  Write2(row.offset, TruncateToBits(speed));
}

void MirrorToFour(const IntChange&, int32_t value) {
  for (uint32_t offset : {0x089A, 0x0932, 0x09CA, 0x0A62}) Write2(offset, static_cast<uint32_t>(value));
}

void AdfSet(const IntChange& row, int32_t value) { SetAdfFrequency(row.param, value); }
void AdfStepUp(const IntChange& row, int32_t value) { StepAdfFrequency(row.param, value); }
void AdfStepDown(const IntChange& row, int32_t value) {
  StepAdfFrequency(row.param, static_cast<int32_t>(0u - static_cast<uint32_t>(value)));
}

void GroundGate(const IntChange&, int32_t value) { groundTrafficGate = value; }

constexpr IntChange INT_CHANGES[] = {
    {Fsx::LandingLights, ToggleBit2, 0x0D0C, 0},
    {Fsx::AutopilotVerticalSpeed, AutoVerticalSpeed, 0x07F2, 0},
    {Fsx::HeadingHold, WriteValue4, 0x07C8, 0},
    {Fsx::Gear, WriteSwitch16383, 0x0BE8, 0},
    {Fsx::SpeedHold, WriteFlag4, 0x07DC, 0},
    {Fsx::AltitudeHold, WriteValue4, 0x07D0, 0},
    {Fsx::AltitudeHold2, WriteValue4, 0x07D0, 0},
    {Fsx::Nav1Swap, WriteConstantByte, 0x3123, 2},
    {Fsx::Nav2Swap, WriteConstantByte, 0x3123, 1},
    {Fsx::Nav1LargeUp, NavStep, 0x0350, 100},
    {Fsx::Nav2LargeUp, NavStep, 0x0352, 100},
    {Fsx::Nav1SmallUp, NavStep, 0x0350, 5},
    {Fsx::Nav2SmallUp, NavStep, 0x0352, 5},
    {Fsx::Nav1LargeDown, NavStep, 0x0350, -100},
    {Fsx::Nav2LargeDown, NavStep, 0x0352, -100},
    {Fsx::Nav1SmallDown, NavStep, 0x0350, -5},
    {Fsx::Nav2SmallDown, NavStep, 0x0352, -5},
    {Fsx::Com1Swap, WriteConstantByte, 0x3123, 8},
    {Fsx::Com2Swap, WriteConstantByte, 0x3123, 4},
    {Fsx::Com1LargeUp, ComStep, 0x034E, 100},
    {Fsx::Com2LargeUp, ComStep, 0x3118, 100},
    {Fsx::Com1SmallUp, ComStep, 0x034E, 5},
    {Fsx::Com2SmallUp, ComStep, 0x3118, 5},
    {Fsx::Com1LargeDown, ComStep, 0x034E, -100},
    {Fsx::Com2LargeDown, ComStep, 0x3118, -100},
    {Fsx::Com1SmallDown, ComStep, 0x034E, -5},
    {Fsx::Com2SmallDown, ComStep, 0x3118, -5},
    {Fsx::Pause, WriteValue2, 0x0262, 0},
    {94, WriteNothing, 0, 0},
    {95, AdjustDouble, 0x3428, 0},
    {96, AdjustShort, 0x0330, 0},
    {Fsx::Course1Step, CourseStep, 0x0C4E, 0},
    {Fsx::Course2Step, CourseStep, 0x0C5E, 0},
    {Fsx::AltitudeStep, AltitudeStep, 0x07D4, 0},
    {Fsx::HeadingStep, HeadingStep, 0x07CC, 0},
    {Fsx::SpeedStep, SpeedStep, 0x07E2, 0},
    {Fsx::Approach, ApproachClear, 0x07FC, 0},
    {Fsx::NavHold, WriteValue4, 0x07C4, 0},
    {Fsx::Nav1Standby, NavFold, 0x311E, 0},
    {Fsx::Nav2Standby, NavFold, 0x3120, 0},
    {Fsx::Com1Standby, ComFold, 0x311A, 0},
    {Fsx::Com2Standby, ComFold, 0x311C, 0},
    {Fsx::Course1, WriteValue2, 0x0C4E, 0},
    {Fsx::Course2, WriteValue2, 0x0C5E, 0},
    {Fsx::HeadingSet, HeadingSet, 0x07CC, 0},
    {Fsx::AltitudeSet, AltitudeSet, 0x07D4, 0},
    {Fsx::SpeedSet, SpeedSet, 0x07E2, 0},
    {162, WriteNothing, 0, 0},
    {Fsx::FlightDirector, WriteFlag4, 0x2EE0, 0},
    {Fsx::AutopilotMaster, WriteValue4, 0x07BC, 0},
    {Fsx::Nav1, WriteValue2, 0x0350, 0},
    {Fsx::Nav2, WriteValue2, 0x0352, 0},
    {175, MirrorToFour, 0, 0},
    {Fsx::Adf1, AdfSet, 0, 1},
    {Fsx::Adf2, AdfSet, 0, 2},
    {Fsx::Adf1Up, AdfStepUp, 0, 1},
    {Fsx::Adf2Up, AdfStepUp, 0, 2},
    {Fsx::Adf1Down, AdfStepDown, 0, 1},
    {Fsx::Adf2Down, AdfStepDown, 0, 2},
    {Fsx::Autothrottle, WriteValue4, 0x0810, 0},
    {Fsx::AutopilotMasterOn, WriteNonZero4, 0x07BC, 0},
    {Fsx::GroundTrafficGate, GroundGate, 0, 0},
};

const IntChange* FindIntChange(int32_t fsxIndex) {
  for (const IntChange& row : INT_CHANGES) {
    if (row.fsxIndex == fsxIndex) return &row;
  }
  return nullptr;
}

}  // namespace

std::atomic<uint64_t> ChangesApplied{0};

namespace {
// The network names the index: a flood of unknown ones must not fill the disk.
ReportLimit unknownIntReports{"A: bool/int Unknown index", true};
ReportLimit unknownDoubleReports{"ChangeVar(A: double) - Unknown Index", true};
}  // namespace

bool ChangeVar(int32_t fsxIndex, int32_t value) {
  if (const IntChange* row = FindIntChange(fsxIndex)) {
    if (SimConnected) ++ChangesApplied;
    row->effect(*row, value);
    return true;
  }
  char text[200];
  FormatText(text, sizeof text, "A: bool/int Unknown index: %d", fsxIndex);
  SendSysLog(NodeId, 2, text);
  if (AdmitReport(unknownIntReports)) {
    char line[202];
    FormatText(line, sizeof line, "%s\n", text);
    Print(line);
    Log(line);
  }
  if (Settings.debugIncoming) SysLog(text);
  return false;
}

bool ChangeVar(int32_t fsxIndex, double value) {
  if (!SimConnected) return true;
  if (fsxIndex == Fsx::AutopilotVerticalSpeed) {
    ++ChangesApplied;
    Write2(0x07F2, TruncateToBits(value));
    return true;
  }
  if (fsxIndex == 114) {
    ++ChangesApplied;
    Write2(0x0330, TruncateToBits(value * 0.001845625));
    return true;
  }
  if (AdmitReport(unknownDoubleReports)) PrintFormat("ChangeVar(A: double) - Unknown Index: %d  Val: %f\n", fsxIndex, value);
  return false;
}

ChangeBatch::ChangeBatch() { OpenWriteBatch(); }
ChangeBatch::~ChangeBatch() { CloseWriteBatch(); }
