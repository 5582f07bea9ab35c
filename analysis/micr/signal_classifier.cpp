// Walks the waveform of one character along the waveform template of a symbol: expected peaks must sit
// at their offsets with their levels and bell shapes, the zones between them must stay quiet, and the
// shapes that tell E13B's similar symbols apart are checked last.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "analysis/micr/classifiers.h"
#include "analysis/micr/debug_logs.h"
#include "analysis/micr/templates.h"

namespace analysis::micr {

namespace {

// Puts a symbol into the record for a nested call and restores the record's own on every path.
class SymbolSwap {
 public:
  SymbolSwap(MicrCharRecord& r, char symbol) : record_(r), saved_(r.cChar) { r.cChar = symbol; }
  ~SymbolSwap() { record_.cChar = saved_; }
  SymbolSwap(const SymbolSwap&) = delete;
  SymbolSwap& operator=(const SymbolSwap&) = delete;

 private:
  MicrCharRecord& record_;
  char saved_;
};

struct Noted {
  int position;
  int level;
};

class Walk {
 public:
  Walk(const MicrCharRecord& r, const SignalView& s, int b, const MicrLogs* logs)
      : r_(r), s_(s), b_(b), logs_(logs && logs->TextLogsOn() ? logs : nullptr) {}

  int Score();

 private:
  int Raw(int i) const { return s_.Level(static_cast<int64_t>(r_.iCharOffset) + i); }
  int Lv(int i) const {
    const int v = Raw(i);
    if (gain_ == 0) return v;
    if (v <= b_) return std::max(0, v - (b_ - v) * gain_ / range_);
    return std::min(255, v + (v - b_) * gain_ / range_);
  }
  void Log(const std::string& text) const {
    if (logs_ != nullptr) logs_->funcMicrTestLog(text);
  }
  void Spread(int& lowest, int& highest) const {
    lowest = 255, highest = 0;
    for (int i = 2; i <= length_ - 4; ++i) {
      lowest = std::min(lowest, Raw(i));
      highest = std::max(highest, Raw(i));
    }
  }
  void PeakStep(const MicrWaveTemplate& t, int k);
  void QuietStep(const MicrWaveTemplate& t, int k);
  void Penalties(const MicrWaveTemplate& t);
  int Ratio() const { return p_ > 0 ? 100 * s_score_ / p_ : 0; }

  const MicrCharRecord& r_;
  const SignalView& s_;
  int b_;
  const MicrLogs* logs_;
  int length_ = 0;
  int gain_ = 0, range_ = 128;
  int s_score_ = 0, p_ = 0, pos_ = 0;
  std::vector<Noted> noted_;
};

void Walk::PeakStep(const MicrWaveTemplate& t, int k) {
  const auto kk = static_cast<std::size_t>(k);
  const int expected = t.offset[kk];
  const int wanted = t.level[kk];
  const int sign = wanted < b_ ? -1 : 1;  // -1: a minimum is expected
  // dev(i) > 0 when the level lies on the expected side of the extreme found so far.
  const auto search = [&](int from, int to, int& where, int& extreme, int& beyond) {
    where = from, extreme = sign > 0 ? -1 : 256, beyond = 0;
    for (int i = from; i + 2 < length_ && i < to; ++i) {
      const int v = Lv(i);
      if (sign * v > sign * extreme) extreme = v, where = i;
      if (sign * (v - b_) > 32) ++beyond;
      const auto away = [&](int x) { return sign * (extreme - Lv(x)) > 64; };
      if (away(i) && away(i + 1) && away(i + 2) && beyond > 4) break;
    }
    if (extreme < 0 || extreme > 255) extreme = Lv(where);
  };
  int where, extreme, beyond;
  const int from = std::max(pos_, expected - 16);
  search(from, expected + 16, where, extreme, beyond);
  if (sign < 0) {
    const char c = t.symbol;
    const bool late = ((c == '1' || c == '3' || c == '8') && where >= length_ - 12) || (c == '9' && where > 32);
    const int next = k + 1 < 8 ? t.offset[kk + 1] : 0;
    if (late && next != 0 && std::abs(next - where) <= 16 && t.level[kk + 1] < b_) {
      int w2 = from, e2 = 256, count16 = 0;
      for (int i = from; i < where - 8; ++i) {
        const int v = Lv(i);
        if (v < e2) e2 = v, w2 = i;
        if (v < b_ - 16) ++count16;
      }
      if (e2 < b_ - 32 && count16 > 2) {
        Log(Format("Overriding Min Peak %d at %d with %d at %d", extreme, where, e2, w2));
        where = w2, extreme = e2;
      }
    }
    Log(Format("Min Peak %d at %d", extreme, where));
  } else {
    Log(Format("Max Peak %d at %d", extreme, where));
  }
  p_ += 25;
  if (std::abs(where - expected) <= 15) {
    s_score_ += 25;
    const int miss = std::abs(extreme - wanted);
    if (miss <= 31) {
      p_ += 25, s_score_ += 25;
    } else if (miss <= 56) {
      s_score_ -= 25;
      if (sign * (extreme - b_) < 32 || sign * (wanted - extreme) > 48)
        Log(sign < 0 ? "Too Little MinPeak" : "Too Little MaxPeak");
    } else if (sign * (wanted - extreme) > 0) {
      s_score_ -= miss;
      Log(sign < 0 ? "No MinPeak at All" : "No MaxPeak at All");
    }
  }
  Log(Format(sign < 0 ? "Min Peak Conf %d of %d" : "Max Peak Conf %d of %d", s_score_, p_));
  // The bell around the extreme: levels falling away from it on both sides.
  int bellStart = where, bellEnd = where;
  for (int i = where - 1; i > pos_ && i > 2; --i) {
    ++p_;
    if (sign * Lv(i) >= sign * Lv(i - 1) || sign * Lv(i) >= sign * Lv(i - 2)) {
      ++s_score_;
      bellStart = i;
    }
  }
  int i = where + 2;
  for (; i < where + 12 && i + 3 < length_; ++i) {
    const int v = sign * Lv(i);
    const bool falling = v >= sign * Lv(i + 1) || v >= sign * Lv(i + 2) ||
                         (v >= sign * Lv(i + 3) && sign * (Lv(i) - b_) >= 32);
    if (!falling) break;
    ++p_, ++s_score_;
    bellEnd = i;
  }
  pos_ = i;
  if (sign > 0 && pos_ < 14) {
    p_ += 14 - pos_;
    pos_ = 14;
  }
  const int w = bellEnd - bellStart;
  if (w < 8 && (w < 6 || bellStart > 1) && (w < 6 || length_ - bellEnd > 3)) {
    if (w < 4 && (sign < 0 || where > 6)) {
      s_score_ -= 25;
      Log(Format("iStartBell %d, iEndBell %d -- Noise only", bellStart, bellEnd));
    }
  } else {
    p_ += 25, s_score_ += 25;
  }
  noted_.push_back({where, extreme});
}

void Walk::QuietStep(const MicrWaveTemplate& t, int k) {
  const int zone = t.offset[static_cast<std::size_t>(k)] - 12;
  const auto dev = [&](int i) { return std::abs(Lv(i) - b_); };
  for (int q = pos_; q <= zone; ++q) {
    ++p_;
    const int d = dev(q);
    if (d <= 16) {
      ++s_score_;
    } else {
      s_score_ -= kQuietPenalty[static_cast<std::size_t>(std::min(15, d / 16))];
    }
  }
  ++pos_;
  for (int q = std::max(zone - 8, pos_); q <= zone + 8 && q < length_; ++q) {
    const int d = dev(q);
    if (d <= 16) {
      pos_ = q;
      continue;
    }
    const bool run = dev(q) > 47 && dev(q + 1) > 47 && dev(q + 2) > 47;
    if (d > 63 || run) {
      if (d < 80 && dev(q) + dev(q + 1) + dev(q + 2) <= 179) {
        for (int x = q + 3; x <= zone + 8 && x < length_; ++x) {
          if (dev(x) <= 16) {
            pos_ = x;
          } else if (dev(x) >= 32 && x - q > 5) {
            break;
          }
        }
      }
      Log(Format("iOffset %d, iNextOffset %d Abnormal End of non Peak Zone %d %d %d", pos_, zone + 12, dev(q),
                 dev(q + 1), dev(q + 2)));
      break;
    }
  }
  while (pos_ + 1 < length_ && dev(pos_ + 1) <= 16) ++pos_;
  Log(Format("End of Non Peak Zone %d", pos_));
}

void Walk::Penalties(const MicrWaveTemplate& t) {
  const char c = t.symbol;
  const int n = static_cast<int>(noted_.size());
  const auto at = [&](int k) { return noted_[static_cast<std::size_t>(k)]; };
  const auto mean16 = [&](int from) {
    int sum = 0;
    for (int i = 0; i < 16; ++i) sum += Lv(from + i);
    return sum / 16;
  };
  if ((c == '0' || c == '6' || c == '9') && n >= 2) {
    const int mean = mean16(at(1).position + 8);
    Log(Format("0/6/9 WaveForm test iValue %3d", mean));
    if (c == '6' && mean < b_) s_score_ -= 100;
    if (c == '9') {
      if (mean > b_) {
        s_score_ -= 100;
      } else if (n >= 3 && at(2).level > b_ - 48) {
        s_score_ -= 50;
      }
    }
    if (c == '0' && std::abs(mean - b_) > 32) s_score_ -= 100;
  }
  const auto lowestBetween = [&](int from, int to) {
    int v = 255;
    for (int i = from; i <= to; ++i) v = std::min(v, Lv(i));
    return v;
  };
  const auto highestBetween = [&](int from, int to) {
    int v = 0;
    for (int i = from; i <= to; ++i) v = std::max(v, Lv(i));
    return v;
  };
  if ((c == '1' || c == '3' || c == '8') && n >= 2) {
    if (at(0).level < 180 || at(1).level < 180) {
      s_score_ -= 50;
      Log("Double Max Peak Penity 180");
    } else {
      const int low = lowestBetween(at(0).position + 4, at(1).position - 4);
      if (at(0).level - low < 40 || at(1).level - low < 40) {
        s_score_ -= 50;
        Log(Format("DMPP 40  P(%d,%d)  (%d,%d)  P(%d,%d)", at(0).position, at(0).level, 0, low, at(1).position,
                   at(1).level));
      }
    }
  }
  if (c == '1' || c == '3' || c == '8' || c == '9') {
    const int k = c == '8' ? 4 : (c == '9' ? 1 : 2);
    const auto kk = static_cast<std::size_t>(k);
    if (n >= k + 2) {
      // Compares the template's offsets with the noted levels, as the reader always has.
      if (t.offset[kk] < at(k).level - 64 || t.offset[kk + 1] < at(k + 1).level - 64) {
        s_score_ -= 50;
        Log("Double Min Peak Penity -64");
      } else {
        const int high = highestBetween(at(k).position + 4, at(k + 1).position - 4);
        if (high - at(k).level < 32 || high - at(k + 1).level < 32) {
          s_score_ -= 50;
          Log(Format("DMPP 40  P(%d,%d)  (%d,%d)  P(%d,%d)", at(k).position, at(k).level, 0, high,
                     at(k + 1).position, at(k + 1).level));
        }
      }
    }
  }
  const int peaks = t.PeakCount();
  for (int k = 0; k + 1 < peaks && k + 1 < n; ++k) {
    const auto kk = static_cast<std::size_t>(k);
    const int expected = t.offset[kk + 1] - t.offset[kk];
    const int actual = at(k + 1).position - at(k).position;
    const int diff = std::abs(expected - actual);
    if (diff <= 16 && actual < 10) {
      s_score_ -= 50;
      Log(Format("Peak %d Too Close (%d) %d to %d", k, actual, at(k).position, at(k + 1).position));
    }
    if (c == '4' && k == 0 && length_ > t.width + 8 && diff > 11) {
      s_score_ -= 100;
      Log("Dropping 4 Character when it could be a :");
    }
    if (diff > 16) {
      s_score_ -= 50;
      Log(Format("Peak %d Offset (%d) Wrong Exp %d to %d Act %d to %d", k, diff, t.offset[kk], t.offset[kk + 1],
                 at(k).position, at(k + 1).position));
    }
  }
  for (int k = 0; k + 2 < peaks && k + 2 < n; ++k) {
    const auto kk = static_cast<std::size_t>(k);
    const int expected = t.offset[kk + 2] - t.offset[kk];
    const int actual = at(k + 2).position - at(k).position;
    if (std::abs(expected - actual) > 16) {
      s_score_ -= 50;
      Log(Format("Second Peak %d Offset (%d) Wrong Exp %d to %d Act %d t0 %d", k, std::abs(expected - actual),
                 t.offset[kk], t.offset[kk + 2], at(k).position, at(k + 2).position));
    }
  }
  // A peak the walk never reached counts as missing entirely.
  int sizeError = 0, offsetError = 0;
  for (int k = 0; k < peaks; ++k) {
    const auto kk = static_cast<std::size_t>(k);
    if (k < n) {
      sizeError += std::abs(at(k).level - t.level[kk]);
      offsetError += std::abs(at(k).position - t.offset[kk]);
    } else {
      sizeError += 255;
      offsetError += length_;
    }
  }
  Log(Format("MagError Size %d, Offset %d", sizeError, offsetError));
  if (sizeError < 200 && offsetError <= 8 * peaks) {
    if (sizeError < 100 && offsetError < 16) s_score_ += 50;
  } else {
    s_score_ -= 50;
  }
  if (n >= 4) {
    const int span = at(3).position - at(0).position;
    if (c == '2' && span > 90 && Ratio() > 50) s_score_ = p_ / 2;
    if (c == '5' && span < 90 && Ratio() > 50) s_score_ = p_ / 2;
  }
  if (c == '5' && n >= 2 && at(1).position > t.offset[1] + 8 && length_ > t.width + 8 &&
      std::abs(at(0).position - t.offset[0]) <= 3)
    s_score_ = s_score_ * 4 / 5;
  Log(Format("%c, Width %d, (%d of %d) %d ***", c, length_, s_score_, p_, Ratio()));
}

int Walk::Score() {
  length_ = r_.iCharWidth;
  int lowest, highest;
  Spread(lowest, highest);
  const int limitA = highest - lowest < 240 ? 48 : 64;
  const int limitB = highest - lowest < 240 ? 32 : 48;
  // Trailing samples that only drift back up belong to the gap, not the character.
  int idx = length_ - 1;
  int low = Raw(idx);
  while (idx > 80 && Raw(idx) > b_ - limitA && Raw(idx) - low <= limitB) {
    low = std::min(low, Raw(idx));
    --idx;
  }
  if (idx < length_ - 1 - 4 && Raw(idx) <= b_ - limitA) {
    Log(Format("Reducing Character Length from %d to %d", length_, idx + 1));
    length_ = idx + 1;
  }
  const MicrWaveTemplate* t = FindWaveTemplate(r_.cChar);
  if (t == nullptr) {
    Log(Format("IsItAMICR -- No Character %c", r_.cChar));
    return 0;
  }
  if (std::abs(length_ - t->width) >= 17) {
    Log(Format("IsItAMICR %c -- Width out of Range %d to %d", r_.cChar, length_, t->width));
    return 0;
  }
  Spread(lowest, highest);
  if (highest - lowest <= 160 && highest < 231 && lowest > 24) {
    gain_ = std::min(230 - highest, lowest - 25);
    range_ = std::max(b_ - lowest, highest - b_);
    if (range_ < 32) range_ = 128;
    Log(Format("IsItAMICR %c Width %d AbsRange %d to %d (%d), iGain %d, iRange %d", r_.cChar, length_, lowest,
               highest, highest - lowest, gain_, range_));
  }
  bool peakMode = true;
  int k = 0;
  const int peaks = t->PeakCount();
  // Chosen reading: besides the bound of seven peaks the walk stops after the template's last peak.
  // Past it the template's offset and level read 0, and a record that runs on for more than 16 samples
  // would be walked into a phantom minimum at offset 0 and scored for it. The template's own end is the
  // bound that makes sense; on the 1000-line read-rate runs both bounds give the same figures.
  while (pos_ < length_ && s_score_ > -50 && k < 7 && k < peaks) {
    Log(Format("%c, iOffset %d of %d, iMode %d, iPeak%d Off %d, Size %d  (%d of %d)", r_.cChar, pos_, length_,
               peakMode ? 0 : 1, k, t->offset[static_cast<std::size_t>(k)], t->level[static_cast<std::size_t>(k)],
               s_score_, p_));
    if (peakMode) {
      PeakStep(*t, k);
      ++k;
    } else {
      QuietStep(*t, k);
    }
    const int next = k < peaks ? t->offset[static_cast<std::size_t>(k)] : 0;
    if (pos_ + 16 > length_) {
      if (next == 0) {
        pos_ = length_;
        break;
      }
      peakMode = true;
    } else if (peakMode) {
      peakMode = pos_ + 16 >= next;  // a quiet zone lies before the next peak
    } else {
      peakMode = true;
    }
  }
  if (p_ < 1 || s_score_ < 1) s_score_ = 0, p_ = 100;
  if (Ratio() >= 50) {
    Log(Format("%c, Width %d, (%d of %d) %d Before Penalities", r_.cChar, length_, s_score_, p_, Ratio()));
    std::string line;
    for (const Noted& nt : noted_) line += Format("%3d (%3d), ", nt.position, nt.level);
    Log(line);
    Penalties(*t);
  }
  if (p_ < 1 || s_score_ < 1) s_score_ = 0, p_ = 100;
  if (s_score_ > p_) s_score_ = 99, p_ = 100;
  return Ratio();
}

}  // namespace

int IsItAMICR(MicrCharRecord& r, const SignalView& s, int baseline, const MicrLogs* logs) {
  const SignalView view = s.WithBaseline(baseline);
  int score = Walk(r, view, baseline, logs).Score();
  if (r.cChar == '4' || r.cChar == ':') {
    const char second = r.cChar == '4' ? 'A' : 'B';
    int upgraded;
    {
      SymbolSwap swap(r, second);
      upgraded = IsItAMICR(r, s, baseline, logs);
    }
    if (upgraded > score) {
      if (logs != nullptr && logs->TextLogsOn())
        logs->funcMicrTestLog(Format("Upgrading Confidence from %d to %d XXXXXXX", score, upgraded));
      score = upgraded;
    }
  }
  return score;
}

}  // namespace analysis::micr
