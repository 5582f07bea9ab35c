// Band, characters and their two-out-of-six decoding, with the re-reads of weak characters.
#include "analysis/optical/cmc7_reader.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <vector>

#include "imaging/image_record.h"

namespace analysis::optical {

std::array<OcrCharRecord, kMaxRecords> OcrCharRecords;

namespace {

constexpr int kDarkThreshold = 96;
constexpr int kLightThreshold = 128;
constexpr int kBandRows = 226;
constexpr int kWindow = 45;
constexpr int kCharSpan = 34;  // columns x..x+33 looked at for one character

// The profiles take thresholds up to the lighter pass's 128: with the stated "below 128" the second pass of
// the weak-run repair could never see a pixel.
bool UsableThreshold(int threshold) { return threshold >= 0 && threshold <= kLightThreshold; }

struct Code {
  int code;
  char ch;
};
// ISO 1004-2: the positions of the two long gaps, first gap = 32.
constexpr Code kCodes[] = {{12, '0'}, {34, '1'}, {24, '2'}, {40, '3'}, {36, '4'},
                           {6, '5'},  {10, '6'}, {48, '7'}, {18, '8'}, {20, '9'},
                           {33, ':'}, {17, ';'}, {9, '<'},  {5, '='},  {3, '>'}};

char Lookup(int code) {
  for (const Code& c : kCodes) {
    if (c.code == code) return c.ch;
  }
  return '@';
}

// One reading's working state.
struct Reader {
  const uint8_t* pixels = nullptr;
  int width = 0, height = 0;
  int threshold = kDarkThreshold;
  int bandTop = 0, bandBottom = 0;
  std::vector<int32_t> profile;
  int32_t m = 3;

  // Profile columns outside the image read 0.
  int32_t P(int x) const { return x >= 0 && x < width ? profile[static_cast<size_t>(x)] : 0; }
  // The pixel lies below the dark threshold in force.
  bool funcOcrIsDark(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] < threshold; }

  void Profile() {
    std::fill(profile.begin(), profile.end(), 0);
    const int total =
        funcOcrColumnProfile(pixels, width, height, bandTop, 0, bandBottom, width, threshold, profile.data());
    m = std::max(3, total / width);
  }
  int RowsWithInk(int x0, int x1, int* first, int* last) const {
    int n = 0;
    *first = *last = -1;
    for (int y = bandTop; y <= bandBottom; ++y) {
      int dark = 0;
      for (int x = std::max(x0, 0); x <= std::min(x1, width - 1); ++x) dark += funcOcrIsDark(x, y);
      if (dark < 3) continue;
      ++n;
      if (*first < 0) *first = y;
      *last = y;
    }
    return n;
  }
  bool Quiet(int from) const {  // 8 in a row below m within 9 columns from `from`
    int run = 0;
    for (int x = from; x < from + 9; ++x) {
      run = P(x) < m ? run + 1 : 0;
      if (run >= 8) return true;
    }
    return false;
  }
  int QuietSides(const OcrCharRecord& r) const {
    int mask = 0;
    if (Quiet(r.xStart - 9)) mask += kMaskQuietLeft;
    const int right = std::min(r.xEnd + 1, width - 9);
    if (Quiet(right)) mask += kMaskQuietRight;
    return mask;
  }
  // Peaks in [x0, x1]: at least m, and (firstRule) >= left and > right, else > left and >= right.
  void Peaks(OcrCharRecord& r, int x0, int x1, bool firstRule) const {
    r.peakCount = 0;
    r.iPeaks.fill(0);
    r.iMgntd.fill(0);
    std::array<int32_t, 8> columns{};
    for (int x = x0; x <= x1 && r.peakCount < 8; ++x) {
      const int32_t c = P(x), l = P(x - 1), rt = P(x + 1);
      const bool peak = c >= m && (firstRule ? (c >= l && c > rt) : (c > l && c >= rt));
      if (!peak) continue;
      columns[static_cast<size_t>(r.peakCount)] = x;
      r.iPeaks[static_cast<size_t>(r.peakCount)] = x - r.xStart;
      r.iMgntd[static_cast<size_t>(r.peakCount)] = l + c + rt;
      ++r.peakCount;
    }
    // Distances to the next peak and the light columns between.
    r.gaps.fill(0);
    for (int i = 0; i < 8; ++i) {
      const int next = i + 1 < r.peakCount ? columns[static_cast<size_t>(i + 1)] : 0;
      const int here = columns[static_cast<size_t>(i)];
      int light = 0;
      if (i + 1 < r.peakCount) {
        for (int x = here + 1; x < next; ++x) light += P(x) < m;
      }
      r.gaps[static_cast<size_t>(i)] = light;
      r.iPeaks[static_cast<size_t>(i)] = (i + 1 < r.peakCount && next > here) ? next - here : 0;
    }
  }
  bool HeightBit(const OcrCharRecord& r) const {
    const int h = r.yBottom - r.yTop;
    const bool tall = r.cChar == '<' || r.cChar == ';' || r.cChar == ':' || r.cChar == '=' || r.cChar == '7' ||
                      r.cChar == '1';
    return h >= (tall ? 28 : 30) && h <= 45;
  }

  int funcOcrReadAt(int index, int left, int top, int bottom);
  void funcOcrResegment(int count);
  void WeakRuns(int count);
  int Characters();
};

bool Weak(const OcrCharRecord& r) { return r.cChar == '@' || std::popcount(static_cast<uint32_t>(r.Mask & kMaskAll)) < 4; }

int Reader::funcOcrReadAt(int index, int left, int top, int bottom) {
  if (index < 0 || index >= kMaxRecords || left < 1 || left + 38 > width) return 0;
  OcrCharRecord& r = OcrCharRecords[static_cast<size_t>(index)];
  top = std::clamp(top, 0, height - 1);
  bottom = std::clamp(bottom, top, height - 1);
  std::vector<int32_t> counts(38);
  funcOcrColumnProfile(pixels, width, height, top, left, bottom, left + 38, threshold, counts.data());
  for (int i = 0; i < 38; ++i) profile[static_cast<size_t>(left + i)] = counts[static_cast<size_t>(i)];
  r.xStart = left;
  Peaks(r, left, left + 33, true);
  if (r.peakCount > 0) {
    // The first peak's column becomes the new left.
    int first = left;
    for (int x = left; x <= left + 33; ++x) {
      if (P(x) >= m && P(x) >= P(x - 1) && P(x) > P(x + 1)) {
        first = x;
        break;
      }
    }
    left = first;
    r.xStart = left;
    Peaks(r, left, left + 33, true);
  }
  if (r.peakCount != 7) {
    r.Mask = 0;
    return 0;
  }
  funcOcrClassify(index, 0);
  if (r.cChar == '@' && r.second == '@') {
    r.Mask = 0;
    return 0;
  }
  if (r.cChar == '@') r.cChar = r.second;
  r.Mask = kMaskSevenPeaks;
  int xs = left;
  while (xs < left + 32 && P(xs) + P(xs - 1) < 2 * m) ++xs;
  int xe = left + 33;
  while (xe > xs && P(xe) + P(xe + 1) < 2 * m) --xe;
  r.xStart = xs;
  r.xEnd = xe;
  if (xe - xs >= 31 && xe - xs <= 45) r.Mask += kMaskWidth;
  r.Mask += QuietSides(r);
  r.yTop = top;
  r.yBottom = bottom;
  int inked = 0;
  for (int y = top; y <= bottom; ++y) {
    int dark = 0;
    for (int x = xs; x <= xe; ++x) dark += funcOcrIsDark(x, y);
    inked += dark > 3;
  }
  if (inked >= 3 && r.yBottom + 1 < height) ++r.yBottom;
  if (HeightBit(r)) r.Mask += kMaskHeight;
  funcOcrClassify(index, 0);
  if (r.cChar == '@' && r.second != '@') r.cChar = r.second;
  return r.Mask;
}

void Reader::funcOcrResegment(int count) {
  int pairs = 0, sum = 0, sumTop = 0, sumBottom = 0;
  for (int i = 0; i < count; ++i) {
    const OcrCharRecord& r = OcrCharRecords[static_cast<size_t>(i)];
    sumTop += r.yTop;
    sumBottom += r.yBottom;
    if (i == 0) continue;
    const int d = r.xStart - OcrCharRecords[static_cast<size_t>(i - 1)].xStart;
    if (d >= 31 && d <= 45) ++pairs, sum += d;
  }
  // Without a pair of neighbours at a character's pitch there is no pitch to re-read by.
  if (pairs == 0 || count == 0) return;
  const int p = sum / pairs;
  const int top = sumTop / count - 3, bottom = sumBottom / count + 3;
  auto rec = [](int i) -> OcrCharRecord& { return OcrCharRecords[static_cast<size_t>(i)]; };
  int remembered = -1;
  auto onAfterRemembered = [&](int& i, bool forget) {
    if (remembered >= 0) {
      i = remembered + 1;
      if (forget) remembered = -1;
    } else {
      ++i;
    }
  };
  for (int i = 0, steps = 0; i < count && steps < 8 * kMaxRecords; ++steps) {
    if (!Weak(rec(i))) {
      onAfterRemembered(i, true);
      continue;
    }
    const int before = i > 0 ? rec(i).xStart - rec(i - 1).xStart : 0;
    if (i > 0 && before >= 1 && before <= 49 && !Weak(rec(i - 1))) {
      funcOcrReadAt(i, rec(i - 1).xStart + p - 4, top, bottom);
      onAfterRemembered(i, true);
      continue;
    }
    const int after = i + 1 < count ? rec(i + 1).xStart - rec(i).xStart : 0;
    if (i + 1 < count && after >= 1 && after <= 49) {
      if (!Weak(rec(i + 1))) {
        funcOcrReadAt(i, rec(i + 1).xStart - (p + 4), top, bottom);
        if (i != 0) {
          if (remembered < 0) remembered = i;
          --i;
        } else {
          ++i;
        }
      } else {
        onAfterRemembered(i, false);
      }
      continue;
    }
    onAfterRemembered(i, true);
  }
}

void Reader::WeakRuns(int count) {
  auto rec = [](int i) -> OcrCharRecord& { return OcrCharRecords[static_cast<size_t>(i)]; };
  const int limit = std::min(count, kMaxRecords);
  // Pass one: from the run's right end leftwards, filling its records from the last.
  for (int s = 0; s < limit; ++s) {
    if (!Weak(rec(s))) continue;
    int e = s;
    while (e + 1 < limit && Weak(rec(e + 1)) && rec(e + 1).xStart - rec(e).xStart < 43) ++e;
    const int firstStart = rec(s).xStart;
    int k = e;
    for (int col = rec(e).xEnd + 8; col >= firstStart && k >= s;) {
      if (P(col) > m) {
        if (funcOcrReadAt(k, col - 34, bandTop, bandBottom) == 0) break;
        col = rec(k).xStart - 3;
        --k;
        continue;
      }
      --col;
    }
    s = e;
  }
  // Pass two: with the lighter threshold, from the run's left end rightwards.
  for (int s = 0; s < limit; ++s) {
    if (!Weak(rec(s))) continue;
    int e = s;
    while (e + 1 < limit && Weak(rec(e))) ++e;
    threshold = kLightThreshold;
    Profile();
    const int lastEnd = rec(e).xEnd;
    int k = s;
    for (int col = rec(s).xStart - 5; col <= lastEnd + 5 && k < limit;) {
      if (P(col) > m) {
        if (funcOcrReadAt(k, col, bandTop, bandBottom) == 0) break;
        col = rec(k).xEnd + 3;
        ++k;
        continue;
      }
      ++col;
    }
    threshold = kDarkThreshold;
    Profile();
    s = e;
  }
}

int Reader::Characters() {
  Profile();
  int count = 0;
  bool repair = false;
  for (int x = 0; x < width - kCharSpan && count < kMaxRecords;) {
    int pairs = 0;
    for (int i = x; i <= x + 33; ++i) pairs += P(i) + P(i + 1) >= 2 * m;
    int yt = 0, yb = 0;
    if (P(x) + P(x + 1) < 2 * m || pairs < 6 || RowsWithInk(x, x + 33, &yt, &yb) < 7) {
      ++x;
      continue;
    }
    OcrCharRecord& r = OcrCharRecords[static_cast<size_t>(count)];
    r = OcrCharRecord{};
    int xs = -1, xe = -1;
    for (int i = x; i <= x + 33; ++i) {
      if (P(i) < m) continue;
      if (xs < 0) xs = i;
      xe = i;
    }
    r.xStart = xs;
    r.xEnd = xe;
    r.yTop = yt;
    r.yBottom = yb;
    Peaks(r, x, x + 33, true);
    if (xe - xs >= 25 && xe - xs <= 34) r.Mask += kMaskWidth;
    r.Mask += QuietSides(r);
    if (r.peakCount == 7) r.Mask += kMaskSevenPeaks;
    funcOcrClassify(count, 0);
    if (r.cChar == '@' && r.second != '@') r.cChar = r.second;
    if (r.cChar == '@' && r.second == '@') {
      Peaks(r, xs - 1, xe, false);
      funcOcrClassify(count, 0);
      if (r.cChar == '@' && r.second != '@') r.cChar = r.second;
    }
    if (HeightBit(r)) r.Mask += kMaskHeight;
    if (r.Mask != kMaskAll) repair = true;
    if (xe - xs > 12 && yb - yt > 15) {
      ++count;
      x = xe + 2;
    } else {
      ++x;
    }
  }
  if (repair) {
    funcOcrResegment(count);
    WeakRuns(count);
    funcOcrResegment(count);
  }
  return count;
}

}  // namespace

int funcOcrColumnProfile(const uint8_t* pixels, int width, int height, int top, int left, int bottom, int right,
                         int threshold, int32_t* counts) {
  if (pixels == nullptr || counts == nullptr || !(left >= 0 && left < right && right <= width) ||
      !(top >= 0 && top < bottom && bottom < height) || !UsableThreshold(threshold)) {
    return 0;
  }
  int total = 0;
  for (int x = left; x < right; ++x) {
    int n = 0;
    for (int y = top; y <= bottom; ++y) n += pixels[static_cast<size_t>(y) * width + x] < threshold;
    counts[x - left] = n;
    total += n;
  }
  return total;
}

int funcOcrRowProfile(const uint8_t* pixels, int width, int height, int top, int left, int bottom, int right,
                      int threshold, int32_t* counts) {
  if (pixels == nullptr || counts == nullptr || !(left >= 0 && left < right && right <= width) ||
      !(top >= 0 && top < bottom && bottom < height) || !UsableThreshold(threshold)) {
    return 0;
  }
  int total = 0;
  for (int y = top; y <= bottom; ++y) {
    int n = 0;
    for (int x = left; x < right; ++x) n += pixels[static_cast<size_t>(y) * width + x] < threshold;
    counts[y - top] = n;
    total += n;
  }
  return total;
}

int funcOcrFindBand(const uint8_t* pixels, int width, int height, int* top, int* bottom) {
  if (pixels == nullptr || width <= 0 || height < kBandRows) return 0;
  std::array<int, kBandRows> dark{};
  for (int r = 0; r < kBandRows; ++r) {
    const uint8_t* row = pixels + static_cast<size_t>(height - 1 - r) * width;
    for (int x = 0; x < width; ++x) dark[static_cast<size_t>(r)] += row[x] < kDarkThreshold;
  }
  int sum = 0;
  for (int r = 0; r < 225; ++r) sum += dark[static_cast<size_t>(r)];
  const int a = sum / 225;
  std::array<int, 180> score{};
  for (int r = 0; r < 180; ++r) {
    int rows = 0, s = 0;
    for (int k = r; k < r + kWindow; ++k) {
      if (dark[static_cast<size_t>(k)] >= a) ++rows, s += dark[static_cast<size_t>(k)];
    }
    score[static_cast<size_t>(r)] = rows >= 25 ? s : 0;
  }
  auto span = [&](int from, int to, int* lo, int* hi) {
    *lo = *hi = -1;
    for (int r = from; r <= to; ++r) {
      if (score[static_cast<size_t>(r)] <= 0) continue;
      if (*lo < 0) *lo = r;
      *hi = r + 38;
    }
    return *lo >= 0 && *hi - *lo >= 30;
  };
  int lower = -1, upper = -1;
  if (!span(45, 109, &lower, &upper) && !span(18, 179, &lower, &upper)) return 0;
  auto pair = [&](int r) { return dark[static_cast<size_t>(r)] + dark[static_cast<size_t>(r + 1)]; };
  while (lower < upper && lower + 1 < kBandRows && pair(lower) <= 2 * a) ++lower;
  upper = -1;
  for (int r = lower; r + 10 < kBandRows; ++r) {
    bool quiet = true;
    for (int k = r; k < r + 10 && quiet; ++k) quiet = pair(k) <= 2 * a;
    if (quiet) {
      upper = r;
      break;
    }
  }
  if (upper < 0) return 0;
  while (upper > lower && dark[static_cast<size_t>(upper)] + dark[static_cast<size_t>(upper - 1)] <= 2 * a) --upper;
  if (lower == 0 || upper == 0) return 0;
  *top = height - (upper + 1);
  *bottom = height - (lower + 1);
  return *bottom - *top >= 30 ? 1 : 0;
}

int funcOcrClassify(int index, int trace) {
  if (index < 0 || index >= kMaxRecords) return 0;
  OcrCharRecord& r = OcrCharRecords[static_cast<size_t>(index)];
  auto decode = [](const std::array<int32_t, 8>& d, int lo, int hi, int retryLo, int voidFrom, bool retryOnMore,
                   int* longCount) {
    auto pass = [&](int low) {
      int code = 0, count = 0;
      for (int i = 0; i < 6; ++i) {
        if (d[static_cast<size_t>(i)] >= voidFrom) return -1;
        if (d[static_cast<size_t>(i)] >= low && d[static_cast<size_t>(i)] <= hi) {
          ++count;
          code |= 32 >> i;
        }
      }
      *longCount = count;
      return code;
    };
    int code = pass(lo);
    if (code >= 0 && *longCount != 2 && (retryOnMore || *longCount < 2)) code = pass(retryLo);
    return code;
  };
  int longs = 0;
  const int code = decode(r.iPeaks, 5, 7, 4, 8, true, &longs);
  r.cChar = '@';
  if (code >= 0 && longs == 2) {
    r.cChar = Lookup(code);
    if (r.cChar == '@') r.Mask |= kMaskBadCode;
  }
  int gapLongs = 0;
  const int gapCode = decode(r.gaps, 4, 6, 3, 8, false, &gapLongs);
  r.second = (gapCode >= 0 && gapLongs == 2) ? Lookup(gapCode) : '@';
  if (trace != 0) {
    // Built for the trace hook, which keeps nothing.
    char line[160];
    std::snprintf(line, sizeof line, "8: iIndex = %6d, Mask = %2x %2d, X = %4d, Y = %4d, X2 = %4d, Y2 = %4d", index,
                  r.Mask, r.Mask, r.xStart, r.yTop, r.xEnd, r.yBottom);
  }
  return r.cChar != '@' || r.second != '@' ? 1 : 0;
}

int funcOcrFindCharacters(const uint8_t* record, size_t recordSize) {
  for (OcrCharRecord& r : OcrCharRecords) r = OcrCharRecord{};
  if (record == nullptr || recordSize < zc::imaging::kRecordHeaderBytes) return 0;
  const zc::imaging::RecordHeader h = zc::imaging::ReadRecordHeader(record);
  // One byte a pixel only: a 1- or 4-bit record holds far fewer bytes than its sides say.
  if (h.bits != 8 || h.width <= 225 || h.height <= 225) return 0;
  if (static_cast<size_t>(h.width) * static_cast<size_t>(h.height) > recordSize - zc::imaging::kRecordHeaderBytes) {
    return 0;
  }
  Reader reader;
  reader.pixels = record + zc::imaging::kRecordHeaderBytes;
  reader.width = h.width;
  reader.height = h.height;
  if (funcOcrFindBand(reader.pixels, h.width, h.height, &reader.bandTop, &reader.bandBottom) == 0) return 0;
  reader.profile.assign(static_cast<size_t>(h.width), 0);
  return reader.Characters();
}

}  // namespace analysis::optical
