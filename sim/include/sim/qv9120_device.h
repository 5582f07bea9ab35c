// The QV9120 series: the QV63x device reached through the QV63x command set, with a franker (recorded by
// the QV63x device) and two pockets whose full sensors tests set in the sensor word.
#pragma once

#include "sim/qv63x_device.h"

namespace sim {

inline constexpr SeriesTraits kQv9120Traits = {"QV9120", 38, true, 0x6F00};

class Qv9120Device : public Qv63xDevice {
 public:
  Qv9120Device(Identity identity, IdentificationCodes codes)
      : Qv63xDevice(std::move(identity), codes, kQv9120Traits) {}
};

}  // namespace sim
