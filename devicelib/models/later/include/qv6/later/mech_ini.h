// The mechanical configuration file of the later series: each field of the mechanical sections (blocks
// 64 to 70) bound to an INI section and key with the value a missing key takes. A key may stand for some
// bits of a field (the sensor type and pixel direction share the sensor word). Loading and saving walk
// the bindings, so a series with other sections supplies other bindings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qv6/later/device_block.h"

namespace qv6::later {

struct MechIniBinding {
  uint16_t type;
  size_t field;
  std::string section;
  std::string key;
  int32_t defaultValue;
  uint8_t shift = 0;
  uint8_t bits = 0;  // 0: the whole field
};

// The keys of an image module's acquisition section ("FRONT IMG ACQ", "REAR IMG ACQ"): the gains and
// offsets of red, green, blue and grey, and the LED powers of red, green and blue.
inline constexpr const char* kAcqGainKeys[4] = {"Gain_R", "Gain_G", "Gain_B", "Gain_GRAY"};
inline constexpr const char* kAcqOffsetKeys[4] = {"Offset_R", "Offset_G", "Offset_B", "Offset_GRAY"};
inline constexpr const char* kAcqPwmKeys[3] = {"Pwm_R", "Pwm_G", "Pwm_B"};

const std::vector<MechIniBinding>& Qv63xMechIniBindings();
// The QV63x keys with the QV9120's "Sample Frequency" default (34254).
const std::vector<MechIniBinding>& Qv9120MechIniBindings();
// The QV63x keys, the franker and feed solenoid keys of "SCAN" after "PreSync Position", "Gain Calib
// Factor" after "Sample Frequency", LED PWMs defaulting to 123 and a rear sensor whose pixels run
// bottom-up by default.
const std::vector<MechIniBinding>& Qv64xMechIniBindings();

// Missing keys take their defaults. False without a file name.
bool LoadMechIni(const char* file, const std::vector<MechIniBinding>& bindings, BlockValues& values);
// Every bound key with its value in decimal.
bool SaveMechIni(const char* file, const std::vector<MechIniBinding>& bindings, const BlockValues& values);

}  // namespace qv6::later
