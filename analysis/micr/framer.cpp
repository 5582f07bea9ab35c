// Character finding and lobe framing.
#include "analysis/micr/framer.h"

#include <algorithm>
#include <cstdlib>

#include "analysis/micr/debug_logs.h"
#include "analysis/services.h"

namespace analysis::micr {

namespace {

constexpr int kStartRise = 26;
constexpr int kMinWidth = 50;
constexpr int kMinAdvance = 5;

struct LobePeak {
  int position;  // absolute index
  int level;     // level minus baseline
  int length;    // lobe length, negative for the second hump of a split lobe
};

struct Frame {
  MicrCharRecord& record;
  int start;
  std::array<int, kMaxPeaks> widthBefore{};  // the record's width when each peak was added
  std::array<int, kMaxPeaks> lobeStart{};

  int Count() const { return record.PeakCount(); }
  void Add(const LobePeak& peak, int lobeBegin) {
    const int n = Count();
    if (n >= kMaxPeaks) return;
    const auto i = static_cast<std::size_t>(n);
    widthBefore[i] = record.iCharWidth;
    lobeStart[i] = lobeBegin;
    // A peak on the start sample would read as the end of the list; it sits one sample in.
    record.iPeak[i] = std::max(peak.position - start, 1);
    record.iHeight[i] = peak.level;
    record.iWidth[i] = peak.length;
  }
  void Drop() {
    const int n = Count();
    if (n == 0) return;
    const auto i = static_cast<std::size_t>(n - 1);
    record.iPeak[i] = record.iHeight[i] = record.iWidth[i] = 0;
  }
};

// Examines one lobe [begin, end) whose levels lie beyond the threshold on the side `sign` (+1 above,
// -1 below). `value(i)` is sign * level, so both signs are handled as maxima.
void ExamineLobe(Frame& frame, const SignalView& s, int begin, int end, int sign, int threshold) {
  const int base = s.baseline();
  const auto value = [&](int i) { return sign * (s.Level(i) - base); };
  const int length = end - begin;
  int top = begin;
  for (int i = begin + 1; i < end; ++i) {
    if (value(i) > value(top)) top = i;
  }
  if (length < 16) {
    // A short lobe counts when its extreme also leads the 20 samples around it.
    int lead = top - 10;
    for (int i = top - 9; i <= top + 9; ++i) {
      if (value(i) > value(lead)) lead = i;
    }
    if (lead == top) {
      frame.Add({top, s.Level(top) - base, length}, begin);
      frame.record.iCharWidth = end - frame.start;
    }
    return;
  }
  // Two humps: a rising run from the start and a falling run from the end with a dip between.
  int rise = begin;
  int previous = threshold;
  while (rise < end && rise < begin + 15 && value(rise) > previous) previous = value(rise++);
  const int riseTop = std::max(begin, rise - 1);
  int fall = end - 1;
  while (fall > begin && value(fall - 1) >= value(fall)) --fall;
  if (riseTop >= fall) {
    frame.Add({riseTop, s.Level(riseTop) - base, length}, begin);
    frame.record.iCharWidth = end - frame.start;
    return;
  }
  int dip = riseTop;
  for (int i = riseTop + 1; i <= fall; ++i) {
    if (value(i) < value(dip)) dip = i;
  }
  int high1 = begin;
  for (int i = begin + 1; i < dip; ++i) {
    if (value(i) > value(high1)) high1 = i;
  }
  int high2 = dip;
  for (int i = dip + 1; i < end; ++i) {
    if (value(i) >= value(high2)) high2 = i;
  }
  if (high1 < dip && dip < high2 && value(high1) - value(dip) >= 20 && value(high2) - value(dip) >= 20 &&
      high2 - high1 >= 13) {
    frame.Add({high1, s.Level(high1) - base, dip - begin}, begin);
    frame.record.iCharWidth = dip - frame.start;
    frame.Add({high2, s.Level(high2) - base, high1 - dip}, dip);
    frame.record.iCharWidth = end - frame.start;
    return;
  }
  const int higher = value(high2) > value(high1) ? high2 : high1;
  frame.Add({higher, s.Level(higher) - base, length}, begin);
  frame.record.iCharWidth = end - frame.start;
}

// Moves the thresholds for another pass when the frame holds too many or too few peaks.
void Adapt(const MicrCharRecord& record, int n, FramingThresholds& t, int& planned) {
  int highest = -256, lowest = 256;
  for (int i = 0; i < n; ++i) {
    highest = std::max(highest, record.iHeight[static_cast<std::size_t>(i)]);
    lowest = std::min(lowest, record.iHeight[static_cast<std::size_t>(i)]);
  }
  if (n > 6) {
    t.plus += 5, t.minus -= 5, ++planned;
  } else if (n >= 4) {
    if (highest < 100 && lowest >= -99 && n < 6 && t.plus >= 19) t.plus -= 5, t.minus += 5, ++planned;
  } else {
    t.plus -= 5, t.minus += 5;
    if (t.plus > 10) ++planned;
  }
}

}  // namespace

int funcMicrFrameCharacter(MicrCharRecord& record, int start, const SignalView& s, int end,
                           FramingThresholds t) {
  const int base = s.baseline();
  int window = 167;
  int planned = 1;
  int p = start;
  for (int pass = 0; pass < planned; ++pass) {
    record = MicrCharRecord{};
    record.iCharOffset = start;
    Frame frame{record, start};
    const int limit = std::min(start + window, end);
    const auto above = [&](int i) { return s.Level(i) > base + t.plus; };
    const auto below = [&](int i) { return s.Level(i) < base + t.minus; };
    p = start;
    while (p < limit) {
      if (above(p) && above(p + 1) && above(p + 2)) {
        int q = p;
        while (q < limit && above(q)) ++q;
        ExamineLobe(frame, s, p, q, +1, t.plus);
        p = q;
      } else if (below(p) && below(p + 1) && below(p + 2)) {
        int q = p;
        while (q < limit && below(q)) ++q;
        ExamineLobe(frame, s, p, q, -1, -t.minus);
        p = q;
      } else {
        ++p;
      }
    }
    // A character ends with a negative peak: trailing positive peaks belong to the next one.
    while (frame.Count() >= 2) {
      const auto last = static_cast<std::size_t>(frame.Count() - 1);
      const bool negative = record.iHeight[last] < 0;
      if (!negative) {
        if (record.iCharWidth >= 101 && planned < 2) {
          window = 182;
          planned = 2;
          break;
        }
        // Chosen reading of "the width as it stood when the peak was found": the width the record had
        // before that peak's lobe was added, i.e. the end of the lobe before it. The dropped lobe then
        // belongs to the next character and leaves no trace in this one's width.
        record.iCharWidth = frame.widthBefore[last];
        p = frame.lobeStart[last];
        frame.Drop();
      }
      if (planned < 2) Adapt(record, frame.Count(), t, planned);
      if (negative) break;
    }
  }
  return p;
}

int SearchEnd(const SignalView& s) {
  const int n = static_cast<int>(s.size());
  int disturbance = -1;
  for (int i = 50; i < n - 6; ++i) {
    int steep = 0;
    for (int d = 0; d < 5; ++d) {
      const int diff = s.Level(i + d + 1) - s.Level(i + d);
      if (diff >= 97 || diff <= -97) ++steep;
    }
    if (steep >= 3) {
      disturbance = i;
      break;
    }
  }
  if (disturbance < 0) return n - kFrameMargin;
  if (disturbance >= 15200) return disturbance - kFrameMargin;
  return n < 15168 ? n - kFrameMargin : 15000;
}

int LineBaseline(std::span<const uint16_t> signal) {
  const std::size_t n = std::min<std::size_t>(300, signal.size());
  if (n == 0) return 0;
  long sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += signal[i] & 0xFF;
  return static_cast<int>(sum / static_cast<long>(n));
}

int funcMicrFindCharacters(std::span<MicrCharRecord> records, std::span<const uint16_t> signal,
                           bool narrowThresholds, Services& services) {
  if (signal.empty() || records.empty()) return 0;
  const SignalView s(signal, LineBaseline(signal));
  const int base = s.baseline();
  const int end = SearchEnd(s);
  const int capacity = std::min(kRecordLimit, static_cast<int>(records.size()));
  int count = 0;
  int previousEnd = 0;
  int steps = 0;
  for (int i = 50; i < end && steps < 100000; ++steps) {
    if (!(s.Level(i) >= base + kStartRise && s.Level(i + 1) >= base + kStartRise &&
          s.Level(i + 2) >= base + kStartRise)) {
      ++i;
      continue;
    }
    if (count >= capacity) break;
    const FramingThresholds t = narrowThresholds ? FramingThresholds{24, -24} : FramingThresholds{32, -32};
    MicrCharRecord& r = records[static_cast<std::size_t>(count)];
    const int next = funcMicrFrameCharacter(r, i - 1, s, end, t);
    const int recordEnd = r.iCharOffset + r.iCharWidth;
    const int endBefore = previousEnd;
    if (r.iCharWidth < kMinWidth || recordEnd < previousEnd + kMinAdvance) {
      r = MicrCharRecord{};
    } else {
      ++count;
      previousEnd = recordEnd;
    }
    if (next < endBefore + kMinAdvance) {
      if (services.iApiTraceLevel() >= 1) {
        services.funcLogMessage(Format("BUG FIX:::::iIndex = %d, iChar = %d, iCount = %d", next, count, 3));
      }
      i = std::max(next, i) + kMinAdvance;
    } else {
      i = std::max(next, i + 1);
    }
    if (count >= capacity) break;
  }
  return count;
}

}  // namespace analysis::micr
