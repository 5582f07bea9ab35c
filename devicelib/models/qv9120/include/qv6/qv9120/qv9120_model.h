// The QV9120 series and its one model: the QV63x design with a franker. It scans as the QV840 does (mirrored
// sides, the first of the caller's print positions, the QV840's default sections), reports its two
// pockets' full sensors in the status word, has no maintenance mode, and reads (never writes back) the
// franker's scan settings.
#pragma once

#include <span>

#include "qv6/qv63x/qv63x_models.h"

namespace qv6 {

// Its EEPROM image: the QV63x one with the QV840/QV9120 default sections.
using Qv9120MechFile = Qv63xMechFile;

class Qv9120 : public Qv63xModel {
 public:
  explicit Qv9120(DriverDeviceInterface& transport);

  int MaintenanceMode(int /*value*/) override { return kNoSuchOperation; }

 protected:
  later::StatusWords ComposeStatus() const override;
};

// "Qv9120"; linking this library registers it.
std::span<const char* const> Qv9120ModelClasses();

}  // namespace qv6
