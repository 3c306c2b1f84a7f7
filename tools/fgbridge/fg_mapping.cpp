#include "fg_mapping.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "vardb/conversions.h"
#include "wire/bytes.h"

namespace {

constexpr double TWO_32 = 4294967296.0;
constexpr double DEGREES_TO_ANGLE = TWO_32 / 360.0;       // a full circle in 32 bits
constexpr double FEET_TO_METRES = 0.3048;
constexpr double KNOTS_TO_METRES_PER_SECOND = 0.514444;
constexpr const char* NOT_KNOWN = "not known to this bridge";

using R = ReadForm;

const std::vector<ReadMapping> READS = {
    // Block 1
    {0x3B70, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3AB0, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x39F0, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3930, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x2010, 8, R::Double, "/engines/engine[0]/n1", 1, 0, "turbine N1, % (engine 1)"},
    {0x2110, 8, R::Double, "/engines/engine[1]/n1", 1, 0, "turbine N1, % (engine 2)"},
    {0x2210, 8, R::Double, "/engines/engine[2]/n1", 1, 0, "turbine N1, % (engine 3)"},
    {0x2310, 8, R::Double, "/engines/engine[3]/n1", 1, 0, "turbine N1, % (engine 4)"},
    {0x3B60, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3AA0, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x39E0, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3920, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3B58, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3A98, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x39D8, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3918, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0918, 8, R::Double, "/engines/engine[0]/fuel-flow_pph", 1, 0, "fuel flow, pounds per hour (engine 1)"},
    {0x09B0, 8, R::Double, "/engines/engine[1]/fuel-flow_pph", 1, 0, "fuel flow, pounds per hour (engine 2)"},
    {0x0A48, 8, R::Double, "/engines/engine[2]/fuel-flow_pph", 1, 0, "fuel flow, pounds per hour (engine 3)"},
    {0x0AE0, 8, R::Double, "/engines/engine[3]/fuel-flow_pph", 1, 0, "fuel flow, pounds per hour (engine 4)"},
    {0x0B74, 4, R::Constant, nullptr, 0, 0, "centre tank level (none in a C172)"},
    {0x0B78, 4, R::Constant, nullptr, 0, 0, "centre tank capacity, US gallons"},
    {0x0B7C, 4, R::Signed, "/consumables/fuel/tank[0]/level-norm", 8388608, 0, "left tank level, 8388608 = full"},
    {0x0B80, 4, R::Signed, "/consumables/fuel/tank[0]/capacity-gal_us", 1, 0, "left tank capacity, US gallons"},
    {0x0B94, 4, R::Signed, "/consumables/fuel/tank[1]/level-norm", 8388608, 0, "right tank level, 8388608 = full"},
    {0x0B98, 4, R::Signed, "/consumables/fuel/tank[1]/capacity-gal_us", 1, 0, "right tank capacity, US gallons"},
    {0x08E8, 8, R::Double, "/engines/engine[0]/cht-degf", 1, 0, "cylinder head temperature, degrees F (engine 1)"},
    {0x0980, 8, R::Double, "/engines/engine[1]/cht-degf", 1, 0, "cylinder head temperature, degrees F (engine 2)"},
    {0x0A18, 8, R::Double, "/engines/engine[2]/cht-degf", 1, 0, "cylinder head temperature, degrees F (engine 3)"},
    {0x0AB0, 8, R::Double, "/engines/engine[3]/cht-degf", 1, 0, "cylinder head temperature, degrees F (engine 4)"},
    {0x2400, 8, R::Double, "/engines/engine[0]/rpm", 1, 0, "engine RPM (engine 1)"},
    {0x2500, 8, R::Double, "/engines/engine[1]/rpm", 1, 0, "engine RPM (engine 2)"},
    {0x2600, 8, R::Double, "/engines/engine[2]/rpm", 1, 0, "engine RPM (engine 3)"},
    {0x2700, 8, R::Double, "/engines/engine[3]/rpm", 1, 0, "engine RPM (engine 4)"},
    {0x0320, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x08D0, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0968, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0A00, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0A98, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x08D4, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x096C, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0A04, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0A9C, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0318, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x281C, 4, R::Signed, "/controls/switches/master-bat", 1, 0, "battery master switch"},
    {0x34E8, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3B00, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3A40, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0AEC, 2, R::Constant, nullptr, 1, 0, "number of engines (the C172's one)"},
    {0x11D0, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0896, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x092E, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x09C6, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0A5E, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0609, 1, R::Constant, nullptr, 0, 0, "engine type: 0, piston"},
    // Block 2
    {0x3AE8, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3488, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3490, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x2ED0, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x6028, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x085C, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0864, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0858, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0860, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0BE0, 4, R::Signed, "/surface-positions/flap-pos-norm", 16383, 0, "flap extension, 16383 = fully out"},
    {0x0BFC, 4, R::Signed, "/controls/flight/flaps", 3, 0, "flap lever position, 0 to 3"},
    {0x0BE8, 4, R::Signed, "/controls/gear/gear-down", 16383, 0, "gear lever, 16383 = down"},
    {0x0800, 4, R::Local, nullptr, 0, 0, "autopilot back course hold, as written"},
    {0x3BF8, 2, R::Constant, nullptr, 3, 0, "flap positions beyond up (the C172's 10, 20 and 30 degrees)"},
    {0x2E80, 4, R::Signed, "/controls/switches/master-avionics", 1, 0, "avionics master switch"},
    {0x0350, 2, R::Radio, "/instrumentation/nav[0]/frequencies/selected-mhz", 0, 0, "NAV1 frequency"},
    {0x0352, 2, R::Radio, "/instrumentation/nav[1]/frequencies/selected-mhz", 0, 0, "NAV2 frequency"},
    {0x311E, 2, R::Radio, "/instrumentation/nav[0]/frequencies/standby-mhz", 0, 0, "NAV1 standby frequency"},
    {0x3120, 2, R::Radio, "/instrumentation/nav[1]/frequencies/standby-mhz", 0, 0, "NAV2 standby frequency"},
    {0x0C4E, 2, R::Unsigned, "/instrumentation/nav[0]/radials/selected-deg", 1, 0, "NAV1 course (OBS), degrees"},
    {0x0C5E, 2, R::Unsigned, "/instrumentation/nav[1]/radials/selected-deg", 1, 0, "NAV2 course (OBS), degrees"},
    {0x034E, 2, R::Radio, "/instrumentation/comm[0]/frequencies/selected-mhz", 0, 0, "COM1 frequency"},
    {0x3118, 2, R::Radio, "/instrumentation/comm[1]/frequencies/selected-mhz", 0, 0, "COM2 frequency"},
    {0x311A, 2, R::Radio, "/instrumentation/comm[0]/frequencies/standby-mhz", 0, 0, "COM1 standby frequency"},
    {0x311C, 2, R::Radio, "/instrumentation/comm[1]/frequencies/standby-mhz", 0, 0, "COM2 standby frequency"},
    {0x0C50, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0C60, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x023B, 1, R::Unsigned, "/sim/time/utc/hour", 1, 0, "UTC hour"},
    {0x023C, 1, R::Unsigned, "/sim/time/utc/minute", 1, 0, "UTC minute"},
    {0x7800, 10, R::Local, nullptr, 0, 0, "the node's heartbeat and the bytes after it, as written"},
    {0x3000, 6, R::Text, "/instrumentation/nav[0]/nav-id", 0, 0, "NAV1 station identifier"},
    {0x301F, 6, R::Text, "/instrumentation/nav[1]/nav-id", 0, 0, "NAV2 station identifier"},
    {0x0C4B, 1, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0C5B, 1, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3500, 24, R::Text, "/sim/description", 0, 0, "aircraft model name"},
    {0x32FC, 2, R::Local, nullptr, 0, 0, "change counter (0: no change seen)"},
    {0x3F02, 2, R::Local, nullptr, 0, 0, "change counter (0: no change seen)"},
    // Block 3
    {0x6010, 8, R::Double, "/position/latitude-deg", 1, 0, "GPS latitude, degrees"},
    {0x6018, 8, R::Double, "/position/longitude-deg", 1, 0, "GPS longitude, degrees"},
    {0x2EE8, 8, R::Constant, nullptr, 0, 0, "flight director pitch (no flight director)"},
    {0x2EF0, 8, R::Constant, nullptr, 0, 0, "flight director bank (no flight director)"},
    {0x3428, 8, R::Local, nullptr, 0, 0, "a height in metres the cockpit steps by a foot, as written"},
    {0x2ED8, 8, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0870, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0844, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x2B00, 8, R::Double, "/instrumentation/heading-indicator/indicated-heading-deg", 1, 0, "gyro compass heading, degrees"},
    {0x2AAC, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x2AB4, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x2AB0, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x2AB8, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x02BC, 4, R::Signed, "/instrumentation/airspeed-indicator/indicated-speed-kt", 128, 0, "indicated airspeed, knots x 128"},
    {0x0020, 4, R::Signed, "/position/ground-elev-m", 256, 0, "ground elevation, metres x 256"},
    {0x0C52, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0C62, 4, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x3324, 4, R::Signed, "/instrumentation/altimeter/indicated-altitude-ft", 1, 0, "altimeter reading, feet"},
    {0x057C, 4, R::Signed, "/orientation/roll-deg", -DEGREES_TO_ANGLE, 0, "bank, 360/2^32 degrees, left positive"},
    {0x02C8, 4, R::Signed, "/velocities/vertical-speed-fps", FEET_TO_METRES * 256, 0, "vertical speed, metres/s x 256"},
    {0x07D4, 4, R::Signed, "/autopilot/settings/target-altitude-ft", FEET_TO_METRES * 65536, 0, "autopilot altitude, metres x 65536"},
    {0x31E4, 4, R::Signed, "/position/altitude-agl-ft", FEET_TO_METRES * 65536, 0, "radio altitude, metres x 65536"},
    {0x0578, 4, R::Signed, "/orientation/pitch-deg", -DEGREES_TO_ANGLE, 0, "pitch, 360/2^32 degrees, nose down positive"},
    {0x2EE0, 4, R::Local, nullptr, 0, 0, "flight director on, as written"},
    {0x07BC, 4, R::Signed, "/autopilot/KAP140/locks/roll-axis", 1, 0, "autopilot master (the KAP140 engaged)"},
    {0x02B8, 4, R::Signed, "/fdm/jsbsim/velocities/vtrue-kts", 128, 0, "true airspeed, knots x 128"},
    {0x02B4, 4, R::Signed, "/velocities/groundspeed-kt", KNOTS_TO_METRES_PER_SECOND * 65536, 0, "ground speed, metres/s x 65536"},
    {0x0BDC, 4, R::Signed, "/controls/flight/flaps", 16383, 0, "flap lever, 16383 = fully out"},
    {0x07C8, 4, R::Signed, "/autopilot/KAP140/locks/hdg-hold", 1, 0, "autopilot heading hold"},
    {0x0810, 4, R::Local, nullptr, 0, 0, "autothrottle armed, as written"},
    {0x07DC, 4, R::Local, nullptr, 0, 0, "autopilot airspeed hold, as written (the KAP140 has none)"},
    {0x0BF0, 4, R::Signed, "/gear/gear[1]/position-norm", 16383, 0, "a main wheel's position, 16383 = down"},
    {0x07D0, 4, R::Signed, "/autopilot/KAP140/locks/alt-hold", 1, 0, "autopilot altitude hold"},
    {0x07C4, 4, R::Signed, "/autopilot/KAP140/locks/nav-hold", 1, 0, "autopilot NAV1 hold"},
    {0x0C4D, 1, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0C70, 1, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0E8C, 2, R::Signed, "/environment/temperature-degc", 256, 0, "outside air temperature, degrees C x 256"},
    {0x07E2, 2, R::Signed, "/autopilot/settings/target-speed-kt", 1, 0, "autopilot airspeed, knots"},
    {0x07F2, 2, R::Signed, "/autopilot/settings/vertical-speed-fpm", 1, 0, "autopilot vertical speed, feet/minute"},
    {0x07CC, 2, R::Unsigned, "/autopilot/settings/heading-bug-deg", 65536.0 / 360.0, 0, "autopilot heading (the bug), 65536 = 360 degrees"},
    {0x0300, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0306, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0BC4, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0330, 2, R::Signed, "/instrumentation/altimeter/setting-hpa", 16, 0, "altimeter setting, hPa x 16"},
    {0x034C, 2, R::AdfMain, "/instrumentation/adf[0]/frequencies/selected-khz", 0, 0, "ADF1 frequency, main word"},
    {0x0356, 2, R::AdfExtra, "/instrumentation/adf[0]/frequencies/selected-khz", 0, 0, "ADF1 frequency, extension word"},
    {0x02D4, 2, R::AdfMain, "/instrumentation/adf[1]/frequencies/selected-khz", 0, 0, "ADF2 frequency, main word"},
    {0x02D6, 2, R::AdfExtra, "/instrumentation/adf[1]/frequencies/selected-khz", 0, 0, "ADF2 frequency, extension word"},
    {0x3300, 2, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0C4C, 1, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    {0x0C6F, 1, R::Constant, nullptr, 0, 0, NOT_KNOWN},
    // The remote record
    {0x0580, 4, R::Unsigned, "/orientation/heading-deg", DEGREES_TO_ANGLE, 0, "true heading, 360/2^32 degrees"},
    {0x0570, 8, R::Signed, "/position/altitude-ft", FEET_TO_METRES * TWO_32, 0, "altitude, metres x 2^32"},
    {0x0560, 8, R::Signed, "/position/latitude-deg", 10001750.0 * TWO_32 / 90.0, 0, "latitude, 90 degrees = 10001750 x 2^32"},
    {0x0568, 8, R::Signed, "/position/longitude-deg", TWO_32 * TWO_32 / 360.0, 0, "longitude, 360 degrees = 2^64"},
    // Read and changed by the cockpit's light switch item
    {0x0D0C, 2, R::Bit, "/controls/lighting/nav-lights", 0x01, 0, "lights: navigation (bit 0)"},
    {0x0D0C, 2, R::Bit, "/controls/lighting/beacon", 0x02, 0, "lights: beacon (bit 1)"},
    {0x0D0C, 2, R::Bit, "/controls/lighting/landing-lights", 0x04, 0, "lights: landing (bit 2)"},
    {0x0D0C, 2, R::Bit, "/controls/lighting/taxi-light", 0x08, 0, "lights: taxi (bit 3)"},
    {0x0D0C, 2, R::Bit, "/controls/lighting/strobe", 0x10, 0, "lights: strobe (bit 4)"},
};

using W = WriteForm;
constexpr const char* KAP140 = "/autopilot/KAP140/locks/";

const std::vector<WriteMapping> WRITES = {
    {0x07BC, 4, W::Master, "/autopilot/KAP140/locks/roll-axis", 1, 0, 0, "autopilot master"},
    {0x07C8, 4, W::Flag, "/autopilot/KAP140/locks/hdg-hold", 1, 0, 0, "autopilot heading hold"},
    {0x07D0, 4, W::Flag, "/autopilot/KAP140/locks/alt-hold", 1, 0, 0, "autopilot altitude hold"},
    {0x07C4, 4, W::Flag, "/autopilot/KAP140/locks/nav-hold", 1, 0, 0, "autopilot NAV1 hold"},
    {0x07FC, 4, W::Flag, "/autopilot/KAP140/locks/apr-hold", 1, 0, 0, "autopilot approach hold"},
    {0x0800, 4, W::Flag, "/autopilot/KAP140/locks/rev-hold", 1, 0, 0, "autopilot back course hold"},
    {0x07CC, 2, W::Circle, "/autopilot/settings/heading-bug-deg", 65536.0 / 360.0, 0, 0, "autopilot heading"},
    {0x07D4, 4, W::Scaled, "/autopilot/settings/target-altitude-ft", FEET_TO_METRES * 65536, 0, 0, "autopilot altitude"},
    {0x07E2, 2, W::Scaled, "/autopilot/settings/target-speed-kt", 1, 0, 0, "autopilot airspeed"},
    {0x07F2, 2, W::Scaled, "/autopilot/settings/vertical-speed-fpm", 1, 0, 0, "autopilot vertical speed"},
    {0x034E, 2, W::Radio, "/instrumentation/comm[0]/frequencies/selected-mhz", 0, 0, 0, "COM1 frequency"},
    {0x3118, 2, W::Radio, "/instrumentation/comm[1]/frequencies/selected-mhz", 0, 0, 0, "COM2 frequency"},
    {0x311A, 2, W::Radio, "/instrumentation/comm[0]/frequencies/standby-mhz", 0, 0, 0, "COM1 standby frequency"},
    {0x311C, 2, W::Radio, "/instrumentation/comm[1]/frequencies/standby-mhz", 0, 0, 0, "COM2 standby frequency"},
    {0x0350, 2, W::Radio, "/instrumentation/nav[0]/frequencies/selected-mhz", 0, 0, 0, "NAV1 frequency"},
    {0x0352, 2, W::Radio, "/instrumentation/nav[1]/frequencies/selected-mhz", 0, 0, 0, "NAV2 frequency"},
    {0x311E, 2, W::Radio, "/instrumentation/nav[0]/frequencies/standby-mhz", 0, 0, 0, "NAV1 standby frequency"},
    {0x3120, 2, W::Radio, "/instrumentation/nav[1]/frequencies/standby-mhz", 0, 0, 0, "NAV2 standby frequency"},
    {0x3123, 1, W::Swap, nullptr, 0, 0, 0, "radio swap: 8 COM1, 4 COM2, 2 NAV1, 1 NAV2"},
    {0x0C4E, 2, W::Scaled, "/instrumentation/nav[0]/radials/selected-deg", 1, 0, 0, "NAV1 course"},
    {0x0C5E, 2, W::Scaled, "/instrumentation/nav[1]/radials/selected-deg", 1, 0, 0, "NAV2 course"},
    {0x034C, 2, W::Adf, "/instrumentation/adf[0]/frequencies/selected-khz", 0, 0, 0x0356, "ADF1 frequency (main and extension words)"},
    {0x02D4, 2, W::Adf, "/instrumentation/adf[1]/frequencies/selected-khz", 0, 0, 0x02D6, "ADF2 frequency (main and extension words)"},
    {0x0330, 2, W::Scaled, "/instrumentation/altimeter/setting-hpa", 16, 0, 0, "altimeter setting"},
    {0x0BE8, 4, W::Flag, "/controls/gear/gear-down", 1, 0, 0, "gear lever (fixed gear: no effect)"},
    {0x0262, 2, W::Flag, "/sim/freeze/master", 1, 0, 0, "pause"},
    {0x0D0C, 2, W::Bit, "/controls/lighting/nav-lights", 0x01, 0, 0, "lights: navigation (bit 0)"},
    {0x0D0C, 2, W::Bit, "/controls/lighting/beacon", 0x02, 0, 0, "lights: beacon (bit 1)"},
    {0x0D0C, 2, W::Bit, "/controls/lighting/landing-lights", 0x04, 0, 0, "lights: landing (bit 2)"},
    {0x0D0C, 2, W::Bit, "/controls/lighting/taxi-light", 0x08, 0, 0, "lights: taxi (bit 3)"},
    {0x0D0C, 2, W::Bit, "/controls/lighting/strobe", 0x10, 0, 0, "lights: strobe (bit 4)"},
    {0x07DC, 4, W::Local, nullptr, 0, 0, 0, "autopilot airspeed hold (the KAP140 has none)"},
    {0x0810, 4, W::Local, nullptr, 0, 0, 0, "autothrottle arm (none)"},
    {0x2EE0, 4, W::Local, nullptr, 0, 0, 0, "flight director (none)"},
    {0x3428, 8, W::Local, nullptr, 0, 0, 0, "a height the cockpit steps by a foot"},
    {0x089A, 2, W::Local, nullptr, 0, 0, 0, "an engine value the cockpit sets for all four engines"},
    {0x0932, 2, W::Local, nullptr, 0, 0, 0, "the same, engine 2"},
    {0x09CA, 2, W::Local, nullptr, 0, 0, 0, "the same, engine 3"},
    {0x0A62, 2, W::Local, nullptr, 0, 0, 0, "the same, engine 4"},
    {0x7800, 1, W::Local, nullptr, 0, 0, 0, "the node's heartbeat"},
    {0x330A, 2, W::Local, nullptr, 0, 0, 0, "the client's version"},
    {0x3210, 224, W::Local, nullptr, 0, 0, 0, "the 56 hot-key slots (FlightGear presses none)"},
};

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

double Value(const std::string& text) {
  if (text == "true") return 1;
  if (text == "false") return 0;
  return std::strtod(text.c_str(), nullptr);  // empty or no number: 0
}

void PutInteger(uint8_t* field, uint8_t width, int64_t value) {
  for (uint8_t i = 0; i < width; ++i) field[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
}

int64_t GetSigned(const uint8_t* field, uint8_t width) {
  uint64_t value = 0;
  for (uint8_t i = 0; i < width; ++i) value |= static_cast<uint64_t>(field[i]) << (8 * i);
  if (width < 8 && (value >> (8 * width - 1)) != 0) value |= ~0ULL << (8 * width);  // sign
  return static_cast<int64_t>(value);
}

// What fits a field of the width, wrapped as the simulator's integers wrap.
int64_t Fit(double value, uint8_t width, bool isSigned) {
  if (!std::isfinite(value)) return 0;
  const double rounded = std::round(value);
  if (width == 8) {
    return rounded >= 9.2233720368547758e18 ? INT64_MAX : rounded <= -9.2233720368547758e18 ? INT64_MIN
                                                                                              : static_cast<int64_t>(rounded);
  }
  const double span = std::ldexp(1.0, 8 * width);
  double wrapped = std::fmod(rounded, span);
  if (wrapped < 0) wrapped += span;
  if (isSigned && wrapped >= span / 2) wrapped -= span;
  return static_cast<int64_t>(wrapped);
}

uint16_t RadioWord(double mhz) { return IntToBcd4(static_cast<int32_t>(std::lround((mhz - 100.0) * 100.0))); }
double RadioMhz(uint16_t word) { return 100.0 + BcdToInt(word) / 100.0; }

}  // namespace

const std::vector<ReadMapping>& ReadMappings() { return READS; }
const std::vector<WriteMapping>& WriteMappings() { return WRITES; }

std::vector<std::string> ViewProperties() {
  std::vector<std::string> paths;
  std::set<std::string> seen;
  for (const ReadMapping& mapping : READS) {
    if (mapping.property != nullptr && seen.insert(mapping.property).second) paths.push_back(mapping.property);
  }
  return paths;
}

void EncodeRead(const ReadMapping& mapping, const std::string& value, uint8_t* field) {
  const double number = (Value(value) + mapping.add) * mapping.scale;
  switch (mapping.form) {
    case ReadForm::Double:
      PutF64(field, number);
      break;
    case ReadForm::Signed:
      PutInteger(field, mapping.width, Fit(number, mapping.width, true));
      break;
    case ReadForm::Unsigned:
      PutInteger(field, mapping.width, Fit(number, mapping.width, false));
      break;
    case ReadForm::Radio:
      PutU16(field, RadioWord(Value(value)));
      break;
    case ReadForm::AdfMain:
    case ReadForm::AdfExtra: {
      const int32_t tenths = static_cast<int32_t>(std::lround(Value(value) * 10.0));
      const uint32_t b = IntToBcd5(tenths);
      PutU16(field, mapping.form == ReadForm::AdfMain ? static_cast<uint16_t>(((b & 0xFFFF) >> 4) & 0xFFF)
                                                      : static_cast<uint16_t>((b & 0xF) | ((b & 0xF0000) >> 8)));
      break;
    }
    case ReadForm::Text:
      std::memset(field, 0, mapping.width);
      std::memcpy(field, value.data(), std::min<size_t>(value.size(), mapping.width - 1u));
      break;
    case ReadForm::Bit: {
      const uint16_t mask = static_cast<uint16_t>(mapping.scale);
      uint16_t word = GetU16(field);
      word = Value(value) != 0 ? static_cast<uint16_t>(word | mask) : static_cast<uint16_t>(word & ~mask);
      PutU16(field, word);
      break;
    }
    case ReadForm::Constant:
      PutInteger(field, mapping.width, Fit(mapping.scale, mapping.width, true));
      break;
    case ReadForm::Local:
      break;
  }
}

std::vector<std::pair<std::string, std::string>> DecodeWrite(const WriteMapping& mapping, const uint8_t* view) {
  const uint8_t* field = view + mapping.offset;
  switch (mapping.form) {
    case WriteForm::Scaled:
      return {{mapping.property, Number(static_cast<double>(GetSigned(field, mapping.width)) / mapping.scale - mapping.add)}};
    case WriteForm::Circle:
      return {{mapping.property, Number(GetU16(field) / mapping.scale)}};
    case WriteForm::Flag:
      return {{mapping.property, GetSigned(field, mapping.width) != 0 ? "true" : "false"}};
    case WriteForm::Bit:
      return {{mapping.property, (GetU16(field) & static_cast<uint16_t>(mapping.scale)) != 0 ? "true" : "false"}};
    case WriteForm::Radio:
      return {{mapping.property, Number(RadioMhz(GetU16(field)))}};
    case WriteForm::Adf:
      return {{mapping.property,
               Number(AdfToTenths(static_cast<int16_t>(GetU16(field)), static_cast<int16_t>(GetU16(view + mapping.extraOffset))) /
                      10.0)}};
    case WriteForm::Master: {
      if (GetSigned(field, mapping.width) != 0) return {{mapping.property, "true"}};
      std::vector<std::pair<std::string, std::string>> off;
      for (const char* lock : {"roll-axis", "hdg-hold", "nav-hold", "apr-hold", "rev-hold", "alt-hold", "pitch-axis", "gs-hold"}) {
        off.push_back({std::string(KAP140) + lock, "false"});
      }
      return off;
    }
    case WriteForm::Swap: {
      struct Pair {
        uint8_t bit;
        uint16_t selected, standby;
        const char* radio;
      };
      static constexpr Pair PAIRS[] = {{8, 0x034E, 0x311A, "comm[0]"}, {4, 0x3118, 0x311C, "comm[1]"},
                                       {2, 0x0350, 0x311E, "nav[0]"}, {1, 0x0352, 0x3120, "nav[1]"}};
      std::vector<std::pair<std::string, std::string>> sets;
      for (const Pair& pair : PAIRS) {
        if ((field[0] & pair.bit) == 0) continue;
        const std::string base = std::string("/instrumentation/") + pair.radio + "/frequencies/";
        sets.push_back({base + "selected-mhz", Number(RadioMhz(GetU16(view + pair.standby)))});
        sets.push_back({base + "standby-mhz", Number(RadioMhz(GetU16(view + pair.selected)))});
      }
      return sets;
    }
    case WriteForm::Local:
      return {};
  }
  return {};
}

std::string MappingTable() {
  auto hex = [](uint16_t offset) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", offset);
    return std::string(text);
  };
  static const char* const READ_FORMS[] = {"double: (value + add) x scale", "signed integer, rounded", "unsigned integer, rounded",
                                           "four BCD digits of the MHz", "BCD hundreds, tens, units of the kHz",
                                           "thousands (high byte) and tenths of the kHz", "text", "bit", "constant", "as written"};
  std::string table = "| Offset | Width | Meaning | FlightGear property | Conversion |\n|---|---|---|---|---|\n";
  for (const ReadMapping& m : READS) {
    std::string conversion;
    switch (m.form) {
      case ReadForm::Double:
      case ReadForm::Signed:
      case ReadForm::Unsigned:
        conversion = "value x " + Number(m.scale) + (m.form == ReadForm::Double ? " (double)" : m.form == ReadForm::Signed ? " (signed)" : " (unsigned)");
        break;
      case ReadForm::Bit:
        conversion = "bit " + hex(static_cast<uint16_t>(m.scale)) + " while true";
        break;
      case ReadForm::Constant:
        conversion = "always " + Number(m.scale);
        break;
      default:
        conversion = READ_FORMS[static_cast<int>(m.form)];
    }
    table += "| " + hex(m.offset) + " | " + std::to_string(m.width) + " | " + m.meaning + " | " +
             (m.property != nullptr ? std::string("`") + m.property + "`" : std::string("—")) + " | " + conversion + " |\n";
  }
  table += "\nWrites:\n\n| Offset | Width | Meaning | FlightGear property | Conversion |\n|---|---|---|---|---|\n";
  static const char* const WRITE_FORMS[] = {"value / scale", "unsigned value / scale", "true when not 0", "MHz of the four BCD digits", "kHz of main and extension word",
                                            "swaps selected and standby", "the bit", "not 0: on; 0: every KAP140 mode off", "kept in the view only"};
  for (const WriteMapping& m : WRITES) {
    std::string conversion = WRITE_FORMS[static_cast<int>(m.form)];
    if (m.form == WriteForm::Scaled || m.form == WriteForm::Circle) conversion = "value / " + Number(m.scale);
    table += "| " + hex(m.offset) + " | " + std::to_string(m.width) + " | " + m.meaning + " | " +
             (m.property != nullptr ? std::string("`") + m.property + "`" : std::string("—")) + " | " + conversion + " |\n";
  }
  return table;
}
