// The KQv8x series (KQv8): 24-byte status block with one document record, 61440-byte EEPROM.
#pragma once

#include "sim/later_series_template.h"

namespace sim {

inline constexpr SeriesTraits kKQv8xTraits = {"KQv8x", 24, false, 0xF000};

class KQv8xDevice : public LaterSeriesTemplate {
 public:
  KQv8xDevice(Identity identity, IdentificationCodes codes)
      : LaterSeriesTemplate(kKQv8xTraits, std::move(identity), codes) {}
};

}  // namespace sim
