// The QV64x series (QV640): the QV63x device with its own identification codes (running product 25; boot
// loader 23 with board 0x19 and device 1).
#pragma once

#include "sim/qv63x_device.h"

namespace sim {

inline constexpr SeriesTraits kQv64xTraits = {"QV64x", 38, true, 0x6F00};

class Qv64xDevice : public Qv63xDevice {
 public:
  Qv64xDevice(Identity identity, IdentificationCodes codes)
      : Qv63xDevice(std::move(identity), codes, kQv64xTraits) {}
};

}  // namespace sim
