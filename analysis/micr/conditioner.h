// Conditioning of raw magnetic samples for the E13B template decoder: resampling to 50000 samples per
// second, a histogram baseline, and a gain per active segment that maps the signal onto 0..255 around 128,
// in reading order. Followed by the series' repacking to the decoder's 1600 samples per inch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace analysis::micr {

inline constexpr int kConditionedRate = 50000;
inline constexpr int kMaxConditionedSamples = 32758;

class MicrConditioner {
 public:
  // Presets: 1 and 9 -> 8-bit; 2 -> 10-bit; 3 and 8 -> 16-bit resampled; 11 -> 16-bit samples of 0..1023;
  // anything else -> preset 0 with the caller's size and range. Rate and direction mode are kept.
  // Allocates the work buffers; returns 1.
  int funcMicrSetup(int preset, int bytesPerSample, int minimum, int maximum, int inputRate, int directionMode);
  // Frees the work buffers; returns 1.
  int funcMicrRelease();
  // Conditions min(count, 32758) samples and writes them back over `samples`; returns the conditioned
  // count, 0 without work buffers (the samples are then left as they are).
  int funcMicrConditionSamples(uint16_t* samples, int count, int bytesPerSample, int startTrim, int endTrim);
  // The two stages; both return the number of samples written to `out` (at most out.size()).
  int funcMicrNormalise(std::span<uint16_t> out, std::span<const uint16_t> in);
  int funcMicrResample(std::span<uint16_t> out, std::span<const uint16_t> in, int inputRate, int outputRate);
  // Makes the resampler's cubic weight tables ready (one set serves every decoder).
  void funcMicrBuildInterpolation();

  int preset() const { return preset_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  int inputRate() const { return rate_; }
  int directionMode() const { return direction_; }
  bool interpolationBuilt() const { return interpolation_; }
  // The baseline of the last normalisation.
  int lastBaseline() const { return lastBaseline_; }

 private:
  int NormaliseRange(std::span<uint16_t> out, std::span<const uint16_t> in);

  int preset_ = 0;
  int bytesPerSample_ = 2;
  int minimum_ = 0;
  int maximum_ = 0;
  int rate_ = kConditionedRate;
  int direction_ = 0;
  bool interpolation_ = false;
  int lastBaseline_ = 0;
  bool allocated_ = false;
  std::vector<uint16_t> conditioned_;  // 65536 bytes
  std::vector<uint16_t> scratch_;      // 32768 bytes
  std::vector<uint16_t> resampled_;    // 65536 bytes
};

// How a series' conditioned samples are brought to the decoder's density.
enum class Repacking {
  kNone,
  kFiveForFour,   // after every 4th sample, the mean of it and the next
  kFourForThree,  // after every 3rd sample, the mean of it and the next
  kTwoForThree,   // every 3rd sample dropped
};
// Returns the number of words written (at most out.size()).
std::size_t Repack(std::span<const uint16_t> in, Repacking rule, std::span<uint16_t> out);

}  // namespace analysis::micr
