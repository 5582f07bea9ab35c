// Equaliser training (levels, pitch, template) and application.
#include "devicelib/core/micr/equaliser.h"

#include <cstdlib>

namespace micr {

namespace {
constexpr int kLevelRank = 50;        // levels are the 50th highest and lowest distinct values
constexpr int kMinMatches = 70;       // a pitch needs more bars than this
constexpr std::size_t kEndGap = 100;  // no output for the last 100 positions
}  // namespace

void Equaliser::FindLevels(std::span<const uint16_t> samples) {
  std::array<int, 256> histogram{};
  for (const uint16_t v : samples) ++histogram[v & 0xFF];
  high_ = 0;
  low_ = 0;
  for (int v = 255, seen = 0; v >= 0; --v) {
    if (histogram[v] != 0 && ++seen == kLevelRank) {
      high_ = v;
      break;
    }
  }
  for (int v = 0, seen = 0; v <= 255; ++v) {
    if (histogram[v] != 0 && ++seen == kLevelRank) {
      low_ = v;
      break;
    }
  }
}

bool Equaliser::IsBar(std::span<const uint16_t> s, std::size_t i, int p) const {
  if (i + static_cast<std::size_t>(p) >= s.size()) return false;
  auto at = [&](int offset) { return static_cast<int>(s[i + offset]); };
  const int first = at(0);
  const int peak = at(p / 4);
  const int trough = at(3 * p / 4);
  const int p8 = at(p / 8);
  const int p38 = at(3 * p / 8);
  const int p2 = at(p / 2);
  const int p58 = at(5 * p / 8);
  const int p78 = at(7 * p / 8);
  return peak >= high_ && trough <= low_ && p8 >= first && p8 < peak && p38 < peak && p2 < p38 && p58 < p2 &&
         p58 > trough && p78 > trough && at(p) >= p78;
}

bool Equaliser::Train(std::span<const uint16_t> samples) {
  trained_ = false;
  FindLevels(samples);
  int bestCount = -1;
  for (int p = 14; p <= 16; ++p) {
    int count = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) count += IsBar(samples, i, p) ? 1 : 0;
    if (count >= bestCount) {  // a later pitch wins a tie
      bestCount = count;
      pitch_ = p;
    }
  }
  if (bestCount <= kMinMatches) return false;

  std::array<int, kMaxPitch> sum{};
  int pieces = 0;
  for (std::size_t i = 0; i < samples.size() && pieces < kPieces; ++i) {
    if (!IsBar(samples, i, pitch_)) continue;
    for (int k = 0; k < pitch_; ++k) sum[k] += samples[i + k];
    ++pieces;
  }
  int deviation = 0;
  for (int k = 0; k < pitch_; ++k) {
    template_[k] = sum[k] / kPieces;
    deviation += std::abs(128 - template_[k]);
  }
  amplitude_ = deviation / pitch_;
  trained_ = true;
  return true;
}

void Equaliser::Apply(std::span<const uint16_t> samples, std::span<uint16_t> output) const {
  const std::size_t n = samples.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i + kEndGap >= n || !trained_) {
      output[i] = 255;
      continue;
    }
    int distance = 0;
    for (int k = 0; k < pitch_; ++k) distance += std::abs(static_cast<int>(samples[i + k]) - template_[k]);
    output[i] = static_cast<uint16_t>(distance / pitch_);
  }
}

}  // namespace micr
