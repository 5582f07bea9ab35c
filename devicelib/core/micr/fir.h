// Low-pass FIR filter of the magnetic decoder: a 100-tap windowed-sinc design
// (Hamming window) run in place over 8-bit samples whose idle level is 128.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace micr {

class Fir {
 public:
  static constexpr int kTaps = 100;
  static constexpr int kIdle = 128;

  // Designs the filter for a cut-off given as a fraction of the sample rate; taps sum to 1.
  explicit Fir(double cutoff);
  virtual ~Fir() = default;

  // Filters `samples` in place; samples before the start count as idle.
  void Apply(std::span<uint16_t> samples) const;

  double Tap(int i) const { return taps_[i]; }

 private:
  std::array<double, kTaps> taps_;
};

}  // namespace micr
