// Sample conditioning: turns a raw magnetic run of any supported kind into the
// readers' form, 8-bit values (idle 128) at the nominal rate, running from the
// end of the code line to its start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "devicelib/core/micr/cubic_resampler.h"
#include "devicelib/core/micr/setup_record.h"

namespace micr {

class Conditioner {
 public:
  // `scratch` receives the resampled run of sixteen-bit kinds; `out` the conditioned samples.
  // `record` is the active set-up; sixteen-bit runs leave it describing the ten-bit run they became.
  // Returns the number of conditioned samples (at most out.size()).
  std::size_t Condition(std::span<const uint16_t> raw, SetupRecord& record, std::span<uint16_t> scratch,
                        std::span<uint16_t> out) const;

 private:
  std::size_t ConditionTenBit(std::span<const uint16_t> raw, const SetupRecord& record,
                              std::span<uint16_t> out) const;

  CubicResampler resampler_;
};

// Value of the fullest 256-bin histogram bin around the middle of the sample range (the idle level).
int FindBaseline(std::span<const uint16_t> samples, int minimum, int maximum);

}  // namespace micr
