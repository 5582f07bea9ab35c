// Four-tap cubic convolution resampler (Keys' kernel, a = -1/2) that brings a
// sixteen-bit magnetic run from the scanner's rate to the nominal rate.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace micr {

class CubicResampler {
 public:
  static constexpr int kPhases = 1000;  // phase resolution: 1/1000 of an input sample

  CubicResampler();

  // Resamples `input` taken at `inputRate` to `outputRate`; writes at most output.size() values and
  // returns how many were written. Runs of fewer than four samples give nothing.
  std::size_t Resample(std::span<const uint16_t> input, int inputRate, int outputRate,
                       std::span<uint16_t> output) const;

  // Weight k (0..3) at phase index i (0..999); exposed for checking against an independent computation.
  double Weight(int k, int phase) const { return weights_[k][phase]; }

 private:
  std::array<std::array<double, kPhases>, 4> weights_;
};

}  // namespace micr
