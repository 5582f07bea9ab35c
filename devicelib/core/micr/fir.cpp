// Windowed-sinc low-pass design and in-place filtering.
#include "devicelib/core/micr/fir.h"

#include <cmath>
#include <numbers>

namespace micr {

Fir::Fir(double cutoff) {
  const double twoPiFc = 2 * std::numbers::pi * cutoff;
  double sum = 0;
  for (int i = 0; i < kTaps; ++i) {
    const int m = i - kTaps / 2;
    const double sinc = m == 0 ? twoPiFc : std::sin(twoPiFc * m) / m;
    const double hamming = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * i / kTaps);
    taps_[i] = sinc * hamming;
    sum += taps_[i];
  }
  for (double& tap : taps_) tap /= sum;
}

void Fir::Apply(std::span<uint16_t> samples) const {
  // Delay line of input values less the idle level, kept twice over so that the
  // newest kTaps values are always contiguous: line[head .. head + kTaps).
  std::array<double, 2 * kTaps> history{};
  double* const line = history.data();
  const double* const taps = taps_.data();
  int head = kTaps;  // line[head] is x[n], line[head + k] is x[n - k]
  for (uint16_t& sample : samples) {
    head = head == 0 ? kTaps - 1 : head - 1;
    const double x = static_cast<double>(sample) - kIdle;
    line[head] = x;
    line[head + kTaps] = x;
    const double* const newest = line + head;
    double y = 0;
    for (int k = 0; k < kTaps; ++k) y += taps[k] * newest[k];
    const int value = static_cast<int>(kIdle + y);  // truncates toward zero
    sample = static_cast<uint16_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
  }
}

}  // namespace micr
