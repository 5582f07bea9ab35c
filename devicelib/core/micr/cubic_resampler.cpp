// Cubic convolution resampling with tabulated weights.
#include "devicelib/core/micr/cubic_resampler.h"

#include <cmath>

namespace micr {

CubicResampler::CubicResampler() {
  for (int i = 0; i < kPhases; ++i) {
    const double t = static_cast<double>(i) / kPhases;
    const double t2 = t * t;
    const double t3 = t2 * t;
    weights_[0][i] = (-t3 + 2 * t2 - t) / 2;
    weights_[1][i] = (3 * t3 - 5 * t2 + 2) / 2;
    weights_[2][i] = (-3 * t3 + 4 * t2 + t) / 2;
    weights_[3][i] = (t3 - t2) / 2;
  }
}

std::size_t CubicResampler::Resample(std::span<const uint16_t> input, int inputRate, int outputRate,
                                     std::span<uint16_t> output) const {
  if (input.size() < 4 || inputRate <= 0 || outputRate <= 0) return 0;
  const double step = static_cast<double>(inputRate) / outputRate;
  std::size_t written = 0;
  while (written < output.size()) {
    const double position = static_cast<double>(written) * step;
    double whole = std::floor(position);
    long phase = std::lround((position - whole) * kPhases);
    if (phase >= kPhases) {  // rounding carried into the next input sample
      phase -= kPhases;
      whole += 1;
    }
    const auto k = static_cast<std::size_t>(whole);
    if (k + 3 >= input.size()) break;
    const double value = weights_[0][phase] * input[k] + weights_[1][phase] * input[k + 1] +
                         weights_[2][phase] * input[k + 2] + weights_[3][phase] * input[k + 3];
    const long rounded = std::lround(value);
    output[written++] = static_cast<uint16_t>(rounded < 0 ? 0 : (rounded > 65535 ? 65535 : rounded));
  }
  return written;
}

}  // namespace micr
