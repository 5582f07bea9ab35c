// The QV62x series (QV602, QV620, QV702): 23-byte status block.
#pragma once

#include "sim/later_series_template.h"

namespace sim {

inline constexpr SeriesTraits kQv62xTraits = {"QV62x", 23, false, 29416};

class Qv62xDevice : public LaterSeriesTemplate {
 public:
  Qv62xDevice(Identity identity, IdentificationCodes codes)
      : LaterSeriesTemplate(kQv62xTraits, std::move(identity), codes) {}
};

}  // namespace sim
