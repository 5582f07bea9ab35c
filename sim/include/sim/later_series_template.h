// LaterSeriesTemplate: a later-series device built from its SeriesTraits, holding a cleared status block
// of the series' size (and the status word block where the series has one). Each series is a small class
// over it; later behaviour (documents, images, samples, firmware) hooks in per series.
#pragma once

#include <vector>

#include "sim/later_series_device.h"
#include "sim/series_traits.h"

namespace sim {

class LaterSeriesTemplate : public LaterSeriesDevice {
 public:
  LaterSeriesTemplate(const SeriesTraits& traits, Identity identity, IdentificationCodes codes)
      : LaterSeriesDevice(std::move(identity), codes, traits.eepromSize), traits_(traits) {
    SetBlock(kStatusBlock, std::vector<uint8_t>(traits.statusBlockSize, 0));
    if (traits.hasStatusWord) SetBlock(kStatusWordBlock, std::vector<uint8_t>(2, 0));
  }

  const SeriesTraits& traits() const { return traits_; }

 private:
  const SeriesTraits& traits_;
};

}  // namespace sim
