// The QV9120 series: the QV63x design with a franker, reached through the QV63x command set.
#pragma once

#include "sim/later_series_template.h"

namespace sim {

inline constexpr SeriesTraits kQv9120Traits = {"QV9120", 38, true, 0x6F00};

class Qv9120Device : public LaterSeriesTemplate {
 public:
  Qv9120Device(Identity identity, IdentificationCodes codes)
      : LaterSeriesTemplate(kQv9120Traits, std::move(identity), codes) {}
};

}  // namespace sim
