// The QV64x series (QV640): 38-byte status block, its own identification codes.
#pragma once

#include "sim/later_series_template.h"

namespace sim {

inline constexpr SeriesTraits kQv64xTraits = {"QV64x", 38, true, 0x6F00};

class Qv64xDevice : public LaterSeriesTemplate {
 public:
  Qv64xDevice(Identity identity, IdentificationCodes codes)
      : LaterSeriesTemplate(kQv64xTraits, std::move(identity), codes) {}
};

}  // namespace sim
