// Lobe measures, pattern rows and correlation templates of the E13B reader.
#include "devicelib/core/micr/e13b_recogniser.h"

#include <cstdint>
#include <cstdlib>

namespace micr {

namespace {

constexpr int kSegments = 9;
constexpr char kSymbols[] = "0123456789:;<=";

struct PatternRow {
  int positive, negative, value, excludedStrong, index;
};
// Which segments (bit 0 = segment 1) carry strong positive or negative lobes, per character.
constexpr PatternRow kPatterns[] = {
    {81, 98, 48, 128, 6},  {74, 96, 40, 149, 4},   {65, 114, 34, 140, 9}, {44, 80, 120, 131, 12},
    {17, 98, 115, 140, 8}, {118, 120, 10, 129, 1}, {113, 124, 8, 130, 2}, {113, 98, 3, 140, 3},
    {115, 108, 6, 128, 7}, {97, 120, 16, 134, 5},  {18, 73, 91, 164, 13}, {20, 74, 94, 161, 11},
    {32, 65, 97, 158, 0},  {16, 68, 84, 171, 10},  {4, 74, 78, 161, 11},
};

// Expected lobe heights of segments 0..7 per character; each row sums to zero.
constexpr int kTemplates[14][8] = {
    {100, -87, 0, 0, 0, 0, 87, -100},      {80, 0, 100, -68, -112, 0, 0, 0},
    {105, -55, 0, 55, -105, 0, 0, 0},      {75, 75, -105, 0, 0, -45, 0, 0},
    {60, 0, -45, 0, 90, 0, -105, 0},       {105, -55, 0, 0, 55, -105, 0, 0},
    {40, -20, 22, -14, 0, 58, -86, 0},     {80, -48, 84, -100, 40, -56, 0, 0},
    {85, 85, -105, 0, 0, 105, -85, -85},   {100, -35, -50, 0, 0, 45, -60, 0},
    {100, 0, 0, -100, 0, 105, 0, -105},    {70, 0, -70, 75, -75, 70, 0, -70},
    {62, 0, 0, -62, 100, -100, 100, -100}, {75, -75, 75, 0, -75, 75, 0, -75},
};
// Sum of squares of each template.
constexpr int64_t kNorms[14] = {35138, 33568, 28100, 24300, 24750, 28100, 13440,
                                30496, 50950, 19350, 42050, 30850, 47688, 33750};
// Segments (bit 0 = segment 1) whose lobe positions count towards the spread.
constexpr int kPositionMasks[14] = {97, 28, 13, 19, 42, 25, 50, 23, 115, 50, 84, 94, 112, 91};

constexpr int kRefilterTaps[16] = {-1509, -1164, -1379, -1401, -1135, -499,  561,   2059,
                                   3962,  6182,  8587,  11008, 13256, 15143, 16505, 17218};
constexpr int kConfidenceFloor = 82;

struct SegmentMeasure {
  int sum = 0;      // sum of (sample - 128)
  int extreme = 0;  // height of the lobe, signed
  int place = 0;    // position of the lobe, counted down from the pitch
};

SegmentMeasure Measure(const E13bWindow& w, int start, int pitch) {
  SegmentMeasure m;
  for (int x = start; x < start + pitch; ++x) m.sum += w[x] - 128;
  bool have = false;
  for (int x = start; x < start + pitch; ++x) {
    const int v = w[x];
    if (m.sum > 0) {
      if (v > 128 && v >= w[x - 1] && v >= w[x + 1] && (!have || v - 128 > m.extreme)) {
        m.extreme = v - 128;
        m.place = pitch - (x - start);
        have = true;
      }
    } else if (v <= 128 && v <= w[x - 1] && v <= w[x + 1] && (!have || v - 128 < m.extreme)) {
      m.extreme = v - 128;
      m.place = pitch - (x - start);
      have = true;
    }
  }
  return m;
}

}  // namespace

E13bResult RecogniseE13b(const E13bWindow& window, int pitch) {
  std::array<SegmentMeasure, kSegments> seg;
  const int first = kE13bPeakAt - pitch / 2;
  for (int i = 0; i < kSegments; ++i) seg[i] = Measure(window, first + i * pitch, pitch);

  int energy = 0;
  int strength = 0;
  int extremeSum = 0;
  for (int i = 0; i < 8; ++i) {
    energy += std::abs(seg[i].sum);
    strength += std::abs(seg[i].extreme);
    extremeSum += seg[i].extreme;
  }
  energy >>= 3;
  const int threshold = strength / 12 > 21 ? strength / 12 : 21;
  int positive = 0;
  int negative = 0;
  int strong = 0;
  for (int i = 1; i < kSegments; ++i) {
    const int height = std::abs(seg[i].extreme);
    if (height <= threshold) continue;
    const int bit = 1 << (i - 1);
    (seg[i].sum > 0 ? positive : negative) |= bit;
    if (height > strength / 7) strong |= bit;
  }

  E13bResult result;
  if (energy < 100 && positive < 2 && negative < 2) return result;
  result.found = true;

  int index = -1;
  for (const PatternRow& row : kPatterns) {
    if (((positive & row.positive) | (negative & row.negative)) != row.value ||
        (strong & row.excludedStrong) != 0) {
      continue;
    }
    if (index >= 0 && index != row.index) return result;  // ambiguous
    index = row.index;
  }
  if (index < 0) return result;

  const int mean = extremeSum >> 3;
  int64_t dot = 0;
  int64_t power = 0;
  for (int i = 0; i < 8; ++i) {
    const int h = (seg[i].extreme - mean) >> 1;
    dot += static_cast<int64_t>(h) * kTemplates[index][i];
    power += static_cast<int64_t>(h) * h;
  }
  const int64_t divisor = kNorms[index] * power / 100;
  result.confidence = divisor == 0 ? 0 : static_cast<int>(dot * dot / divisor);
  for (int i = 1; i < 8; ++i) {
    if ((kPositionMasks[index] >> (i - 1)) & 1) result.spread += std::abs(seg[i].place - seg[0].place);
  }
  if (result.confidence > kConfidenceFloor) result.symbol = kSymbols[index];
  return result;
}

E13bWindow RefilterE13b(const E13bWindow& window) {
  E13bWindow out = window;
  for (int p = 16; p <= 217; ++p) {
    int64_t sum = 0;
    for (int k = 0; k < 32; ++k) {
      const int tap = k < 16 ? kRefilterTaps[k] : kRefilterTaps[31 - k];
      sum += static_cast<int64_t>(tap) * (window[p - 16 + k] - 128);
    }
    if (sum >= (int64_t{1} << 24)) {
      out[p] = 255;
    } else if (sum < -(int64_t{1} << 24)) {
      out[p] = 0;
    } else {
      out[p] = static_cast<int>(sum >> 17) + 128;
    }
  }
  return out;
}

}  // namespace micr
