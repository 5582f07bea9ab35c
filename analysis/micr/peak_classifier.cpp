// Peak matching and shape matching against the seventeen peak templates.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "analysis/micr/classifiers.h"
#include "analysis/micr/debug_logs.h"
#include "analysis/micr/line_rules.h"
#include "analysis/micr/templates.h"

namespace analysis::micr {

namespace {

constexpr int kWindow = 11;
constexpr int kShapeSearch = 15;

int PeakMatch(const MicrCharRecord& r, const MicrPeakTemplate& t, int cls, int a) {
  const int records = r.PeakCount();
  int entries = 0;
  while (entries < 11 && t.entries[static_cast<std::size_t>(entries)].position != 0 &&
         t.entries[static_cast<std::size_t>(entries)].level != 0)
    ++entries;
  int i = 0, j = 0;
  int low = kWindow, high = kWindow;
  while (i < records && j < entries) {
    const auto ii = static_cast<std::size_t>(i);
    const PeakTemplateEntry& e = t.entries[static_cast<std::size_t>(j)];
    const int widen = (cls == 0 && i == 2 && j == 2) ? 12 : 0;
    const int position = r.iPeak[ii];
    if (position >= e.position - low - widen && position <= e.position + high + widen) {
      if ((r.iHeight[ii] > 0) == (e.level > 0)) {
        a += e.weight;
        const int d = (position - e.position) / 2;
        high = kWindow + d;
        low = kWindow - d;
        ++i, ++j;
      } else if (r.iWidth[ii] >= 6) {
        a -= t.penalty;
        ++i, ++j;
      } else {
        ++i;
      }
    } else if (position > e.position + high + widen) {
      if (r.iWidth[ii] > 5) a -= t.penalty;  // the entry is missing
      ++j;
    } else {
      if (r.iWidth[ii] > 5) a -= t.penalty;  // an extra peak
      ++i;
    }
  }
  a -= t.penalty * (records - i);
  a -= t.penalty * (entries - j);
  return a;
}

// One line for a rejected record and for each class it was compared with, in the same columns so that
// they read one under the other: a count, a character code, the symbol, a width, a fifth figure, then
// ten position/level pairs. The record gives its peak count, bChar, its character, iCharWidth,
// iCharOffset and its first ten peaks (iPeak, iHeight); a class gives its number, its entry count, its
// symbol, its nominal width, its penalty and its first ten entries (position, level; a flat zone has
// level 0). Missing pairs are 0.
std::string PeakRow(int first, int second, char symbol, int width, int fifth,
                    const std::array<int, 20>& pairs) {
  const char text[2] = {symbol, '\0'};
  return Format("%4d:  %2d %s %4d%6d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d%4d\n", first,
                second, text, width, fifth, pairs[0], pairs[1], pairs[2], pairs[3], pairs[4], pairs[5],
                pairs[6], pairs[7], pairs[8], pairs[9], pairs[10], pairs[11], pairs[12], pairs[13], pairs[14],
                pairs[15], pairs[16], pairs[17], pairs[18], pairs[19]);
}

std::string RecordRow(const MicrCharRecord& r) {
  std::array<int, 20> pairs{};
  for (std::size_t k = 0; k < 10; ++k) pairs[2 * k] = r.iPeak[k], pairs[2 * k + 1] = r.iHeight[k];
  return PeakRow(r.PeakCount(), r.bChar, r.cChar, r.iCharWidth, r.iCharOffset, pairs);
}

std::string TemplateRow(int cls) {
  const MicrPeakTemplate& t = kPeakTemplates[static_cast<std::size_t>(cls)];
  std::array<int, 20> pairs{};
  int entries = 0;
  for (const PeakTemplateEntry& e : t.entries) {
    if (e.position == 0) break;
    const auto at = 2 * static_cast<std::size_t>(entries++);
    if (at < pairs.size()) pairs[at] = e.position, pairs[at + 1] = e.level;
  }
  return PeakRow(cls, entries, kPeakClassSymbols[cls], t.nominal, t.penalty, pairs);
}

}  // namespace

PeakScore ScorePeakClass(const MicrCharRecord& r, const SignalView& s, int baseline, int cls) {
  const MicrPeakTemplate& t = kPeakTemplates[static_cast<std::size_t>(cls)];
  PeakScore score;
  const int width = r.iCharWidth;
  const int tolerance = (width + 5) / 10;
  if (width >= t.minimum && width <= t.maximum) {
    score.a = 120;
  } else if (width >= t.nominal - tolerance && width <= t.nominal + tolerance) {
    score.a = 80;
  }
  if (score.a > 0) score.a = PeakMatch(r, t, cls, score.a);
  if (score.a > 30) {
    for (const PeakTemplateEntry& e : t.entries) {
      if (e.position == 0) break;
      const int from = r.iCharOffset + e.position - kShapeSearch;
      const int window = e.before + e.after + 1;
      if (e.level == 0) {
        int longest = 0, run = 0;
        for (int q = from; q < from + e.flatLength + 30; ++q) {
          run = std::abs(s.Level(q) - baseline) <= 20 ? run + 1 : 0;
          longest = std::max(longest, run);
        }
        score.b2 += e.shapeWeight;
        score.b += longest >= window ? e.shapeWeight : e.shapeWeight * longest / window;
        continue;
      }
      const int sign = e.level > 0 ? 1 : -1;
      int extreme = from;
      for (int q = from + 1; q < from + 30; ++q) {
        if (sign * s.Level(q) > sign * s.Level(extreme)) extreme = q;
      }
      if (sign * (s.Level(extreme) - baseline) <= 0) continue;
      int count = 0;
      for (int q = extreme - e.before - 1; q < extreme - e.before - 1 + window; ++q) {
        const int d = s.Level(q) - baseline;
        if (sign > 0 ? d > 10 : d < 10) ++count;
      }
      score.b2 += e.shapeWeight;
      score.b += count == window ? e.shapeWeight : e.shapeWeight * count / window;
    }
  }
  score.divisor = 120;
  for (const PeakTemplateEntry& e : t.entries) {
    if (e.position == 0 || e.level == 0) break;
    score.divisor += e.weight;
  }
  score.val0 = 100 * score.a / score.divisor;
  score.val2 = score.b2 != 0 ? 100 * score.b / score.b2 : 0;
  return score;
}

int PeakConfidence(int bestVal0, int shapeOfBest) {
  int conf = (bestVal0 - 1) / 10;
  if (shapeOfBest < 81) conf -= 3;
  return std::clamp(conf, 0, 9);
}

int funcMICRConfidence(MicrCharRecord& r, const SignalView& signal, int baseline, const MicrLogs* logs) {
  const SignalView s = signal.WithBaseline(baseline);
  std::array<PeakScore, kPeakClasses> scores{};
  int bestVal0 = 0, b0 = -1, bestVal2 = 0, b2 = -1, bestComb = 0, bc = -1;
  for (int c = 0; c < kPeakClasses; ++c) {
    const PeakScore& sc = scores[static_cast<std::size_t>(c)] = ScorePeakClass(r, s, baseline, c);
    if (sc.val0 > bestVal0) bestVal0 = sc.val0, b0 = c;
    if (sc.val2 > bestVal2) bestVal2 = sc.val2, b2 = c;
    const int comb = sc.val0 + sc.val2 / 4;
    if (comb > bestComb) bestComb = comb, bc = c;
  }
  if (bc < 0) {
    r.cChar = '@';
    r.iConf = 0;
  } else {
    r.cChar = kPeakClassSymbols[bc];
    r.iConf = PeakConfidence(bestVal0, b0 >= 0 ? scores[static_cast<std::size_t>(b0)].val2 : 0);
  }
  r.bChar = static_cast<uint8_t>(r.cChar - '0');
  if (logs != nullptr && logs->TempLogOn()) {
    logs->funcMicrTempLog(Format("Conf:Val[0]  = %4d for %2d", bestVal0, b0));
    logs->funcMicrTempLog(Format("Conf:Val[2]  = %4d for %2d", bestVal2, b2));
    logs->funcMicrTempLog(Format("Conf:Comb[1] = %4d for %2d", bestComb, bc));
  }
  if (logs != nullptr && r.cChar == '@' && (logs->TextLogsOn() || logs->TempLogOn())) {
    logs->funcMicrResultLog(RecordRow(r));
    for (int c = 0; c < kPeakClasses; ++c) {
      const PeakScore& sc = scores[static_cast<std::size_t>(c)];
      if (sc.val0 == 0) continue;
      logs->funcMicrResultLog(Format("iChar = %3d, %2c, %4d:%4d = %4d  %4d:%4d = %4d %4d:%4d = %4d\n", c,
                                     '0' + c, sc.a, sc.divisor, sc.val0, 0, 0, 0, sc.b, sc.b2, sc.val2));
      const std::string row = TemplateRow(c);
      logs->funcMicrTempLog(row);
      logs->funcMicrTempLog(row);
    }
  }
  return r.iConf;
}

}  // namespace analysis::micr
