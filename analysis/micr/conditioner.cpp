// Resampling with the device library's cubic weights, segment-wise normalisation and repacking.
#include "analysis/micr/conditioner.h"

#include <algorithm>
#include <array>

#include "devicelib/core/micr/cubic_resampler.h"

namespace analysis::micr {

namespace {

constexpr std::size_t kConditionedWords = 65536 / 2;
constexpr std::size_t kScratchWords = 32768 / 2;
constexpr std::size_t kResampledWords = 65536 / 2;

// One weight table for every decoder: the same kernel and phase resolution.
const ::micr::CubicResampler& Weights() {
  static const ::micr::CubicResampler table;
  return table;
}

}  // namespace

int MicrConditioner::funcMicrSetup(int preset, int bytesPerSample, int minimum, int maximum, int inputRate,
                                   int directionMode) {
  conditioned_.assign(kConditionedWords, 0);
  scratch_.assign(kScratchWords, 0);
  resampled_.assign(kResampledWords, 0);
  allocated_ = true;
  rate_ = inputRate;
  direction_ = directionMode;
  bytesPerSample_ = 2;
  interpolation_ = false;
  switch (preset) {
    case 1:
    case 9:
      preset_ = 1, minimum_ = 0, maximum_ = 255;
      break;
    case 2:
      preset_ = 2, minimum_ = 0, maximum_ = 1023;
      break;
    case 3:
    case 8:
      preset_ = preset, minimum_ = 0, maximum_ = 65535, interpolation_ = true;
      break;
    case 11:
      preset_ = 3, minimum_ = 0, maximum_ = 1023, interpolation_ = true;
      break;
    default:
      preset_ = 0, bytesPerSample_ = bytesPerSample, minimum_ = minimum, maximum_ = maximum;
      interpolation_ = inputRate != kConditionedRate;
      break;
  }
  if (interpolation_) funcMicrBuildInterpolation();
  return 1;
}

void MicrConditioner::funcMicrBuildInterpolation() {
  Weights();  // built once and shared
  interpolation_ = true;
}

int MicrConditioner::funcMicrRelease() {
  std::vector<uint16_t>().swap(conditioned_);
  std::vector<uint16_t>().swap(scratch_);
  std::vector<uint16_t>().swap(resampled_);
  allocated_ = false;
  return 1;
}

int MicrConditioner::funcMicrConditionSamples(uint16_t* samples, int count, int, int, int) {
  if (!allocated_ || samples == nullptr || count <= 0) return 0;
  const int n = std::min(count, kMaxConditionedSamples);
  const int done = funcMicrNormalise(conditioned_, std::span<const uint16_t>(samples, static_cast<std::size_t>(n)));
  std::copy_n(conditioned_.begin(), done, samples);
  return done;
}

int MicrConditioner::funcMicrResample(std::span<uint16_t> out, std::span<const uint16_t> in, int inputRate,
                                      int outputRate) {
  if (in.size() < 4 || inputRate <= 0 || outputRate <= 0) return 0;
  const ::micr::CubicResampler& w = Weights();
  const double step = static_cast<double>(inputRate) / outputRate;
  const std::size_t last = in.size() - 4;
  double t = 0;
  std::size_t i = 0;
  std::size_t written = 0;
  while (written < out.size()) {
    int k = static_cast<int>(t * 1000 + 0.5);
    while (k >= 1000) {
      t -= 1;
      k -= 1000;
      ++i;
    }
    if (i > last) break;
    const double v = in[i] * w.Weight(0, k) + in[i + 1] * w.Weight(1, k) + in[i + 2] * w.Weight(2, k) +
                     in[i + 3] * w.Weight(3, k);
    // The cubic overshoots at steep edges; keep the value inside the word.
    out[written++] = static_cast<uint16_t>(std::clamp(static_cast<long>(v), 0L, 65535L));
    t += step;
  }
  return static_cast<int>(written);
}

int MicrConditioner::funcMicrNormalise(std::span<uint16_t> out, std::span<const uint16_t> in) {
  switch (preset_) {
    case 1: {
      // 8-bit samples: the bytes of the buffer, one per output word.
      const auto* bytes = reinterpret_cast<const uint8_t*>(in.data());
      const std::size_t n = std::min(in.size(), out.size());
      for (std::size_t i = 0; i < n; ++i) {
        out[i] = direction_ == 1 ? bytes[i] : static_cast<uint16_t>(255 - bytes[n - 1 - i]);
      }
      return static_cast<int>(n);
    }
    case 2:
      return NormaliseRange(out, in);
    case 3:
    case 8: {
      if (in.size() < 5) break;
      const int n = funcMicrResample(resampled_, in, rate_, kConditionedRate);
      for (int i = 0; i < n; ++i) resampled_[static_cast<std::size_t>(i)] >>= 6;  // 16-bit to 10-bit
      preset_ = 2, minimum_ = 0, maximum_ = 1023, rate_ = kConditionedRate;
      return NormaliseRange(out, std::span<const uint16_t>(resampled_.data(), static_cast<std::size_t>(n)));
    }
    default:
      break;
  }
  const std::size_t n = std::min(in.size(), out.size());
  std::copy_n(in.begin(), n, out.begin());
  return static_cast<int>(n);
}

int MicrConditioner::NormaliseRange(std::span<uint16_t> out, std::span<const uint16_t> in) {
  const std::size_t n = std::min(in.size(), out.size());
  const int mid = (minimum_ + maximum_) / 2;
  std::array<int, 256> histogram{};
  for (std::size_t i = 0; i < n; ++i) {
    const int v = in[i];
    if (v >= mid - 128 && v < mid + 128) ++histogram[static_cast<std::size_t>(v - (mid - 128))];
  }
  int fullest = 0;
  for (int b = 1; b < 256; ++b) {
    if (histogram[static_cast<std::size_t>(b)] > histogram[static_cast<std::size_t>(fullest)]) fullest = b;
  }
  const int baseline = fullest + mid - 128;
  lastBaseline_ = baseline;
  const int band = (maximum_ - minimum_) * 5 / 100;
  const int bandLow = baseline - band, bandHigh = baseline + band;
  const auto outside = [&](int v) { return v < bandLow || v > bandHigh; };
  const auto inside = [&](int v) { return v > bandLow && v < bandHigh; };
  const int clipLow = 16 * (maximum_ - minimum_ + 1) / 1024;
  const int clipHigh = 1008 * (maximum_ - minimum_ + 1) / 1024;

  std::vector<uint16_t> mapped(n);
  std::size_t start = 0;
  while (n - start >= 5) {
    // Activity: more than 10 samples in a row outside the quiet band.
    std::size_t s = start;
    int run = 0;
    std::size_t active = n;
    for (; s < n; ++s) {
      run = outside(in[s]) ? run + 1 : 0;
      if (run > 10) {
        active = s + 1 - static_cast<std::size_t>(run);
        break;
      }
    }
    std::size_t end = n;
    int lowest = baseline, highest = baseline;
    if (active < n) {
      run = 0;
      for (std::size_t q = active; q < n; ++q) {
        const int v = in[q];
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
        run = inside(v) ? run + 1 : 0;
        if (run > 100) {
          end = q + 1 - 50;
          break;
        }
      }
    }
    const bool clipped = lowest < clipLow || highest >= clipHigh;
    double gain = 1.0;
    if (!clipped) {
      const double g1 = baseline > lowest ? 512.0 / (baseline - lowest) : 1.0;
      const double g2 = highest > baseline ? 512.0 / (highest - baseline) : 1.0;
      gain = std::min(0.95 * std::max({g1, g2, 1.0}), 4.0);
    }
    for (std::size_t q = start; q < end; ++q) {
      const int v = in[q];
      int o;
      if (clipped) {
        o = v < baseline * 1023 / 512 ? v * 128 / baseline : 255;
      } else {
        const int x = static_cast<int>((v - baseline) * gain + 512);
        o = x < 0 ? 0 : (x >= 1024 ? 255 : x >> 2);
      }
      mapped[q] = static_cast<uint16_t>(o);
    }
    start = end;
  }
  // A tail shorter than a segment sits in the quiet zone.
  for (std::size_t q = start; q < n; ++q) {
    const int x = in[q] - baseline + 512;
    mapped[q] = static_cast<uint16_t>(x < 0 ? 0 : (x >= 1024 ? 255 : x >> 2));
  }
  for (std::size_t q = 0; q < n; ++q) {
    uint16_t v = direction_ == 0 ? mapped[n - 1 - q] : mapped[q];
    if (direction_ == 1) v = static_cast<uint16_t>(255 - v);
    out[q] = v;
  }
  return static_cast<int>(n);
}

std::size_t Repack(std::span<const uint16_t> in, Repacking rule, std::span<uint16_t> out) {
  std::size_t w = 0;
  const auto put = [&](uint16_t v) {
    if (w < out.size()) out[w++] = v;
  };
  for (std::size_t i = 0; i < in.size() && w < out.size(); ++i) {
    const std::size_t ordinal = i + 1;
    if (rule == Repacking::kTwoForThree && ordinal % 3 == 0) continue;
    put(in[i]);
    const std::size_t every = rule == Repacking::kFiveForFour ? 4 : (rule == Repacking::kFourForThree ? 3 : 0);
    if (every != 0 && ordinal % every == 0) {
      const uint16_t next = i + 1 < in.size() ? in[i + 1] : in[i];
      put(static_cast<uint16_t>((in[i] + next) / 2));
    }
  }
  return w;
}

}  // namespace analysis::micr
