// Trough walk, flank tests, crossing-level refinement and equaliser confirmation.
#include "devicelib/core/micr/cmc7_minima.h"

#include <algorithm>
#include <climits>

namespace micr {

namespace {

constexpr int kTroughCeiling = 144;  // a trough lies below this level
constexpr int kRise = 20;            // a rise lies more than this above the trough
constexpr int kRiseWithin = 24;      // samples from the trough to its rise
constexpr int kRiseAfterMiddle = 12;
constexpr int kLeftSpan = 12;  // samples examined left of the trough
constexpr int kLeftClear = 8;  // none of them lower within this distance
constexpr int kCloseBar = 20;  // a previous bar this near and this deep asks a steeper left flank
constexpr int kSteepLeftRise = 40;
constexpr int kPeakSearch = 20;
constexpr int kHighPeak = 112;

// Highest sample met walking from `from` in `step` direction (at most kPeakSearch samples),
// also lowering `lowest`; the walk ends once the signal has fallen well below a high peak.
int FindPeak(std::span<const uint16_t> s, int from, int step, int& lowest) {
  int peak = s[from];
  for (int k = 1; k <= kPeakSearch; ++k) {
    const int x = from + step * k;
    if (x < 0 || x >= static_cast<int>(s.size())) break;
    const int v = s[x];
    lowest = std::min(lowest, v);
    if (v > peak) {
      peak = v;
    } else if (peak > kHighPeak && v < peak - kRise) {
      break;
    }
  }
  return peak;
}

// Tries the five positions around the bar's expected equaliser match; updates `lastMatch`.
bool Confirm(const EqualiserCheck& check, int refined, int& lastMatch) {
  const std::span<const uint16_t> e = check.output;
  const int n = static_cast<int>(e.size());
  const int pitch = check.equaliser->pitch();
  const int limit = check.equaliser->amplitude() * 9;  // output * 10 must stay below this
  const int base = refined - 3 * pitch / 4;
  for (int d = -2; d <= 2; ++d) {
    const int c = base + d;
    if (c - 5 < 0 || c + 5 >= n) continue;
    if (e[c] * 10 >= limit || c - lastMatch < pitch / 2) continue;
    // The distance falls over the four samples before the match and rises over the four after it.
    bool falls = true;
    for (int k = c - 5; k < c - 2; ++k) falls = falls && e[k] >= e[k + 1];
    bool rises = true;
    for (int k = c + 2; k < c + 5; ++k) rises = rises && e[k] <= e[k + 1];
    if (!falls || !rises) continue;
    int best = c - 5;
    for (int k = c - 4; k <= c + 5; ++k) {
      if (e[k] < e[best]) best = k;
    }
    lastMatch = best;
    return true;
  }
  return false;
}

}  // namespace

std::size_t FindMinima(std::span<const uint16_t> s, const EqualiserCheck& check, std::span<Minimum> out) {
  const int n = static_cast<int>(s.size());
  std::size_t count = 0;
  int m = 256;
  int mpos = 0;
  int prevPos = -1;
  int prevDepth = 0;
  int lastMatch = INT_MIN / 2;
  for (int j = 1; j < n && count < out.size(); ++j) {
    const int v = s[j];
    if (v < m && v < kTroughCeiling) {
      m = v;
      mpos = j;
      continue;
    }
    if (m > 255 - kRise || j + 2 >= n) continue;
    if (!(v > m + kRise && s[j + 1] > m + kRise && s[j + 2] > m + kRise)) continue;

    const int trough = m;
    m = 255;
    if (j - mpos >= kRiseWithin) continue;
    int last = j - 1;
    while (last > mpos && s[last] != trough) --last;
    const int mid = (mpos + last) / 2;
    if (j - mid >= kRiseAfterMiddle) continue;

    // Left flank: clear of lower samples near the trough, and high enough.
    const int from = std::max(mid - kLeftSpan, prevPos + 1);
    int highest = -1;
    bool clear = true;
    for (int k = std::max(from, 0); k < mid; ++k) {
      if (mid - k <= kLeftClear && s[k] < trough) clear = false;
      highest = std::max(highest, static_cast<int>(s[k]));
    }
    const bool steep = prevPos >= 0 && mid - prevPos < kCloseBar && prevDepth < kCloseBar;
    const bool flankOk = steep ? highest - trough >= kSteepLeftRise : highest - trough > kRise;
    if (!clear || !flankOk) continue;

    // Refine to the middle of the trough at a level set by the two neighbouring peaks.
    int lowest = trough;
    const int leftPeak = FindPeak(s, mid, -1, lowest);
    const int rightPeak = FindPeak(s, mid, +1, lowest);
    const int level = lowest + std::min(2 * (rightPeak - lowest) / 3, (leftPeak - lowest) / 3);
    int lc = mid;
    while (lc > 0 && s[lc - 1] <= level) --lc;
    int rc = mid;
    while (rc + 1 < n && s[rc + 1] <= level) ++rc;
    const int refined = (lc + rc) / 2;
    j = std::max(j, rc);

    if (check.equaliser != nullptr && !Confirm(check, refined, lastMatch)) continue;
    out[count++] = Minimum{refined, trough};
    prevPos = refined;
    prevDepth = trough;
  }
  return count;
}

}  // namespace micr
