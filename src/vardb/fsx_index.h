#pragma once
// The simulator indices (FsxIndex) of the variables that the cockpit's
// switches, knobs and radios change, by what they change. The variable
// table declares each of them; ChangeVar applies them, and whoever sends a
// change names them from here.

#include <cstdint>

namespace Fsx {
inline constexpr int32_t LandingLights = 16;  // 1 on, any other value off
inline constexpr int32_t AutopilotVerticalSpeed = 20;  // feet per minute
inline constexpr int32_t HeadingHold = 21;
inline constexpr int32_t Gear = 42;  // 0 up, else down
inline constexpr int32_t SpeedHold = 52;
inline constexpr int32_t AltitudeHold = 53;
inline constexpr int32_t AltitudeHold2 = 54;
inline constexpr int32_t Nav1Swap = 69;
inline constexpr int32_t Nav2Swap = 70;
// Radio knobs: the large knob steps a megahertz, the small one 50 kHz.
inline constexpr int32_t Nav1LargeUp = 71;
inline constexpr int32_t Nav2LargeUp = 72;
inline constexpr int32_t Nav1SmallUp = 73;
inline constexpr int32_t Nav2SmallUp = 74;
inline constexpr int32_t Nav1LargeDown = 75;
inline constexpr int32_t Nav2LargeDown = 76;
inline constexpr int32_t Nav1SmallDown = 77;
inline constexpr int32_t Nav2SmallDown = 78;
inline constexpr int32_t Com1Swap = 79;
inline constexpr int32_t Com2Swap = 80;
inline constexpr int32_t Com1LargeUp = 81;
inline constexpr int32_t Com2LargeUp = 82;
inline constexpr int32_t Com1SmallUp = 83;
inline constexpr int32_t Com2SmallUp = 84;
inline constexpr int32_t Com1LargeDown = 85;
inline constexpr int32_t Com2LargeDown = 86;
inline constexpr int32_t Com1SmallDown = 87;
inline constexpr int32_t Com2SmallDown = 88;
inline constexpr int32_t Pause = 89;
// Knob steps with a step code: 1 small up, 2 large up, 3 small down, 4 large down.
inline constexpr int32_t Course1Step = 97;
inline constexpr int32_t Course2Step = 98;
inline constexpr int32_t AltitudeStep = 99;
inline constexpr int32_t HeadingStep = 100;
inline constexpr int32_t SpeedStep = 101;
inline constexpr int32_t Approach = 102;
inline constexpr int32_t NavHold = 103;
inline constexpr int32_t Nav1Standby = 108;  // BCD words
inline constexpr int32_t Nav2Standby = 109;
inline constexpr int32_t Com1Standby = 110;
inline constexpr int32_t Com2Standby = 111;
inline constexpr int32_t Course1 = 112;
inline constexpr int32_t Course2 = 113;
inline constexpr int32_t HeadingSet = 116;  // degrees
inline constexpr int32_t AltitudeSet = 117;  // feet
inline constexpr int32_t SpeedSet = 118;  // knots
inline constexpr int32_t FlightDirector = 164;
inline constexpr int32_t AutopilotMaster = 165;
inline constexpr int32_t Nav1 = 166;  // BCD words
inline constexpr int32_t Nav2 = 167;
inline constexpr int32_t Adf1 = 176;  // tenths of kHz
inline constexpr int32_t Adf2 = 177;
inline constexpr int32_t Adf1Up = 180;  // by the value, in tenths of kHz
inline constexpr int32_t Adf2Up = 181;
inline constexpr int32_t Adf1Down = 182;
inline constexpr int32_t Adf2Down = 183;
inline constexpr int32_t Autothrottle = 184;
inline constexpr int32_t AutopilotMasterOn = 212;  // a value of 0 changes nothing
inline constexpr int32_t GroundTrafficGate = 216;  // 0 opens it
}  // namespace Fsx
