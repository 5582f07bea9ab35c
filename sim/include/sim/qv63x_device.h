// The QV63x series (QV603, QV625, QV630, QV840): 38-byte status block with records A and B, status word.
#pragma once

#include "sim/later_series_template.h"

namespace sim {

inline constexpr SeriesTraits kQv63xTraits = {"QV63x", 38, true, 0x6F00};

class Qv63xDevice : public LaterSeriesTemplate {
 public:
  Qv63xDevice(Identity identity, IdentificationCodes codes)
      : LaterSeriesTemplate(kQv63xTraits, std::move(identity), codes) {}
};

}  // namespace sim
