// Matched-shape equaliser of the CMC-7 reader: learns the average shape of one
// bar (a positive then a negative lobe) from the low-passed signal and measures,
// at every position, how far the signal is from that shape.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace micr {

class Equaliser {
 public:
  static constexpr int kMaxPitch = 16;
  static constexpr int kPieces = 71;  // bars averaged into the template; training needs more than 70

  // Learns the template from `samples`; returns false (untrained) when no pitch 14..16 has enough bars.
  bool Train(std::span<const uint16_t> samples);

  // output[i] = mean distance of samples[i .. i + pitch) from the template, for i < n - 100;
  // positions near the end, where no full comparison is made, get 255.
  void Apply(std::span<const uint16_t> samples, std::span<uint16_t> output) const;

  bool trained() const { return trained_; }
  int pitch() const { return pitch_; }
  int amplitude() const { return amplitude_; }
  int high_level() const { return high_; }
  int low_level() const { return low_; }
  std::span<const int> shape() const { return std::span<const int>(template_.data(), pitch_); }

  // True when the pitch-`p` piece from i has the shape of one bar.
  bool IsBar(std::span<const uint16_t> s, std::size_t i, int p) const;

 private:
  void FindLevels(std::span<const uint16_t> samples);

  bool trained_ = false;
  int pitch_ = 0;
  int amplitude_ = 0;
  int high_ = 0;
  int low_ = 0;
  std::array<int, kMaxPitch> template_{};
};

}  // namespace micr
