// CMC-7 passes: equaliser-confirmed, unconfirmed, and reversed-inverted.
#include "devicelib/core/micr/cmc7_reader.h"

#include <algorithm>

namespace micr {

namespace {

// Pattern (first interval in bit 0, long = 1) to character, as met in conditioned
// order (the code line read backwards); index 64 marks a broken pattern.
constexpr char kBackwardTable[] = "@@@>@=5@@<6@0@@@@;8@9@@@2@@@@@@@@:1@4@@@3@@@@@@@7@@@@@@@@@@@@@@@@";
// The same code read in printed order, for the reversed pass.
constexpr char kForwardTable[] = "@@@7@32@@49@0@@@@18@6@@@5@@@@@@@@:;@<@@@=@@@@@@@>@@@@@@@@@@@@@@@@";
constexpr int kBrokenPattern = 64;
constexpr int kHistogramSize = 100;

}  // namespace

void LineBuffer::Reverse() {
  std::reverse(chars_.begin(), chars_.begin() + static_cast<long>(size_));
}

std::size_t LineBuffer::Rejects() const {
  const std::string_view v = View();
  return static_cast<std::size_t>(std::count(v.begin(), v.end(), '@'));
}

void Cmc7Reader::Erase(std::size_t i) {
  std::copy(minima_.begin() + static_cast<long>(i) + 1, minima_.begin() + static_cast<long>(count_),
            minima_.begin() + static_cast<long>(i));
  --count_;
}

bool Cmc7Reader::Measure(bool structureCheck, Thresholds& t) const {
  std::array<int, kHistogramSize> histogram{};
  for (std::size_t i = 0; i + 1 < count_; ++i) {
    const int d = Interval(i);
    if (d >= 0 && d < kHistogramSize) ++histogram[d];  // longer gaps separate words; not counted
  }
  int plausible = 0;
  for (int d = 8; d <= 19; ++d) plausible += histogram[d];
  if (structureCheck && (plausible < 5 || plausible * 3 < static_cast<int>(count_))) return false;

  // The short and the long interval are the first two peaks of the histogram.
  const int threshold = static_cast<int>(count_) / 20 + 2;
  std::array<int, 2> peaks{};
  int found = 0;
  for (int d = 0; found < 2 && d < kHistogramSize;) {
    int runMax = 0;
    int runPos = d;
    for (; d < kHistogramSize; ++d) {
      if (histogram[d] > runMax) {
        runMax = histogram[d];
        runPos = d;
      } else if (runMax >= threshold && histogram[d] < runMax) {
        break;
      }
    }
    if (d >= kHistogramSize) break;
    peaks[found++] = runPos;
    while (d + 1 < kHistogramSize && histogram[d + 1] <= histogram[d]) ++d;  // down the peak's far side
  }
  t.ths = peaks[0];
  t.thl = peaks[1];
  t.thb = (t.ths + t.thl) / 2 + 1;
  t.thc = t.thl * 125 / 100;
  t.thcMax = t.thl * 140 / 100;
  t.pitch = 6 * t.ths + 3 * t.thl;
  t.blank = t.pitch * 3 / 2;
  return true;
}

void Cmc7Reader::Assemble(const Thresholds& t, const char* table, LineBuffer& line) {
  line.Clear();
  std::size_t i = 0;
  long prevStart = -1;
  while (i < count_ && !line.Full()) {
    // Eight bars where seven belong: drop the weaker extra bar at either end.
    if (i + 7 < count_) {
      bool tight = Interval(i + 6) <= t.thcMax && (i + 8 >= count_ || Interval(i + 7) > t.thcMax);
      for (std::size_t k = 0; k < 6 && tight; ++k) tight = Interval(i + k) <= t.thcMax;
      if (tight) {
        const int a = minima_[i].depth;
        const int z = minima_[i + 7].depth;
        bool firstExtra = false;
        bool eighthExtra = false;
        if (a < 128 && z < 128) {
          firstExtra = 128 - z > 2 * (128 - a);
          eighthExtra = !firstExtra && 128 - a > 2 * (128 - z);
        } else if (z >= 128) {
          eighthExtra = true;
        } else {
          firstExtra = true;
        }
        if (eighthExtra && a < 108) {
          Erase(i + 7);
        } else if (firstExtra && z < 108) {
          ++i;
        }
      }
    }
    if (i + 1 < count_ && Interval(i) > 2 * t.thc) {
      ++i;
      continue;
    }

    int pattern = 0;
    for (std::size_t k = 0; k < 6; ++k) {
      if (i + k + 1 >= count_ || Interval(i + k) > t.thcMax) {
        pattern = kBrokenPattern;
        break;
      }
      pattern = (pattern >> 1) | (Interval(i + k) >= t.thb ? 32 : 0);
    }
    const char c = table[pattern];
    std::size_t next = i + 7;
    if (c == '@') {
      if (i + 1 >= count_ || Interval(i) > t.thc) {
        ++i;
        continue;
      }
      for (std::size_t k = 0; k < 6 && i + k + 1 < count_; ++k) {
        if (Interval(i + k) > t.thc) {
          next = i + k + 1;
          break;
        }
      }
    } else if (i + 8 < count_ && Interval(i + 6) < t.thc) {
      next = i + 8;  // an eighth bar close behind belongs to this character
    }
    if (prevStart >= 0 && t.pitch > 0) {
      for (int d = minima_[i].position - minima_[prevStart].position; d >= t.blank && !line.Full();
           d -= t.pitch) {
        line.Push(' ');
      }
    }
    line.Push(c);
    prevStart = static_cast<long>(i);
    i = next;
  }
}

bool Cmc7Reader::Pass(std::span<const uint16_t> s, const EqualiserCheck& check, const char* table,
                      bool structureCheck, LineBuffer& line) {
  count_ = FindMinima(s, check, minima_);
  Thresholds t;
  if (!Measure(structureCheck, t)) return false;
  Assemble(t, table, line);
  return true;
}

int Cmc7Reader::Read(std::span<uint16_t> window, std::span<uint16_t> equalised, const Fir& lowPass,
                     bool structureCheck) {
  line_.Clear();
  passes_ = 1;
  lowPass.Apply(window);
  equaliser_.Train(window);
  const std::span<uint16_t> eq = equalised.first(window.size());
  equaliser_.Apply(window, eq);

  const EqualiserCheck confirmed{equaliser_.trained() ? &equaliser_ : nullptr, eq};
  if (!Pass(window, confirmed, kBackwardTable, structureCheck, line_)) return -1;
  if (line_.Rejects() > 0) {
    passes_ = 2;
    if (!Pass(window, EqualiserCheck{}, kBackwardTable, structureCheck, candidate_)) return -1;
    // A second pass that rejects more than the first does not replace it.
    if (candidate_.Rejects() <= line_.Rejects()) line_ = candidate_;
  }
  line_.Reverse();  // the samples run from the end of the code line

  if (line_.Rejects() > 0) {
    passes_ = 3;
    std::reverse(window.begin(), window.end());
    for (uint16_t& v : window) v = static_cast<uint16_t>(255 - v);
    Pass(window, EqualiserCheck{}, kForwardTable, false, candidate_);
    if (candidate_.Rejects() < line_.Rejects()) line_ = candidate_;
  }
  return 0;
}

}  // namespace micr
