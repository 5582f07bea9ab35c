// The VEKQv5xx series (RM 70, RM 70 KF): 15-byte status block; the host moves data in 128-byte pieces.
#pragma once

#include "sim/later_series_template.h"

namespace sim {

inline constexpr SeriesTraits kVekQv5xxTraits = {"VEKQv5xx", 15, false, 0x6F00};

class VekQv5xxDevice : public LaterSeriesTemplate {
 public:
  VekQv5xxDevice(Identity identity, IdentificationCodes codes)
      : LaterSeriesTemplate(kVekQv5xxTraits, std::move(identity), codes) {}
};

}  // namespace sim
