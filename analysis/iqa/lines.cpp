// Printed lines of a cheque: a solid black row, the short level lines that confirm or overrule the skew
// test, the amount sign and the courtesy-amount field beside it, the five field lines with a test for
// writing above each, and an analysis that flags crossing, doubled or slanted lines.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "analysis/iqa/iqa_image.h"
#include "analysis/iqa/iqa_tests.h"

namespace analysis::iqa {
namespace {

IQALineTable gLines;
IqaBox gDollar;

int P(int c, int r) {
  return IQAGetPixel(c, r);
}

// Follows a line from a black pixel to both ends, bridging gaps of up to `gap` columns and moving by a
// row at a time.
IqaLine TraceLine(int x, int y, int gap) {
  const IQAImage& im = Image();
  IqaLine line{x, y, x, y};
  auto follow = [&](int& cx, int& cy, int dir) {
    while ((dir < 0 ? cx >= 9 : cx < im.width - 8) && cy >= 21 && cy < im.height - 20) {
      bool stepped = false;
      for (int j = 0; j < gap && !stepped; ++j) {
        const int nx = cx + dir * (1 + j);
        for (const int dy : {0, -1, 1}) {
          if (P(nx, cy + dy)) {
            cx = nx;
            cy += dy;
            stepped = true;
            break;
          }
        }
      }
      if (!stepped) break;
    }
  };
  follow(line.x1, line.y1, -1);
  follow(line.x2, line.y2, 1);
  return line;
}

// Merges a traced line into a table or appends it (the callers keep a free entry).
template <size_t N>
void MergeLine(IqaLine (&table)[N], int& count, const IqaLine& n) {
  for (int i = 0; i < count; ++i) {
    IqaLine& s = table[i];
    if (std::abs(n.x1 - s.x1) < 5 && std::abs(n.y1 - s.y1) < 5) {
      if (n.x2 > s.x2) s.x2 = n.x2, s.y2 = n.y2;
      return;
    }
    if (std::abs(n.x2 - s.x2) < 5 && std::abs(n.y2 - s.y2) < 5) {
      if (n.x1 < s.x1) s.x1 = n.x1, s.y1 = n.y1;
      return;
    }
    if (std::abs(s.x2 - n.x1) < 10 && std::abs(s.y2 - n.y1) < 3) {
      s.x2 = n.x2, s.y2 = n.y2;
      return;
    }
  }
  if (count < static_cast<int>(N)) table[count++] = n;
}

// Six points between the ends must each have a black pixel within 4 of the line across it.
bool StraightEnough(const IqaLine& l, bool vertical) {
  for (int k = 1; k <= 6; ++k) {
    const int p = l.x1 + (l.x2 - l.x1) / 8 * k;
    const int q = l.y1 + (l.y2 - l.y1) / 8 * k;
    bool found = false;
    for (int d = -4; d <= 4 && !found; ++d) found = vertical ? P(p + d, q) != 0 : P(p, q + d) != 0;
    if (!found) return false;
  }
  return true;
}

// Counts colour changes along row y from column a to b (exclusive); a black run of 60 or more makes it a
// blob row.
struct RowScan {
  int changes = 0;
  bool blob = false;
};
RowScan ScanRow(int y, int a, int b) {
  RowScan s;
  int run = 0;
  int prev = 0;
  for (int x = a; x < b; ++x) {
    const int p = P(x, y);
    if (p != prev) ++s.changes;
    run = p ? run + 1 : 0;
    if (run >= 60) {
      s.blob = true;
      break;
    }
    prev = p;
  }
  if (!s.blob && prev) ++s.changes;
  return s;
}

}  // namespace

IQALineTable& LineTable() {
  return gLines;
}
IqaBox& IQADollarBox() {
  return gDollar;
}

int IQAFindSolidLine() {
  LogAt(1, "IQAFindSolidLine");
  const IQAImage& im = Image();
  // At least one byte must lie between the two excluded at each end.
  if (!im.held() || im.rowBytes < 5) return 0;
  for (int r = 64; r <= im.height - 65; ++r) {
    const uint8_t* row = im.Row(r);
    bool solid = true;
    for (int b = 2; b <= im.rowBytes - 3 && solid; ++b) solid = row[b] == 0xFF;
    if (solid) return r;
  }
  return 0;
}

int IQAFindShortLines(int skew) {
  if (gLines.count > 0) return skew;
  LogAt(1, "IQAFindShortLines");
  gLines.count = 0;
  const IQAImage& im = Image();
  const int dpi = std::max(im.xDpi, 1);
  const int step = std::max(1, dpi / 2);
  for (int x = dpi; x < im.width - dpi / 2; x += step) {
    for (int y = 64; y < im.height - 64 && gLines.count < 20;) {
      if (!P(x, y)) {
        ++y;
        continue;
      }
      const IqaLine l = TraceLine(x, y, 4);
      if (l.x2 - l.x1 < dpi) {
        y += 3;
        continue;
      }
      if (skew == 0 && std::abs(l.y2 - l.y1) >= 16) {
        y += 3;
        continue;
      }
      MergeLine(gLines.lines, gLines.count, l);
      y += 35;
    }
  }
  int level = 0;
  for (int i = 0; i < gLines.count; ++i) {
    const IqaLine& l = gLines.lines[i];
    if (std::abs(l.y1 - l.y2) <= (l.x2 - l.x1) * 4 / dpi) ++level;
  }
  return level >= 3 ? 0 : skew;
}

int IQAIsDollarSign(int left, int top, int right, int bottom) {
  const int w = right - left, h = bottom - top;
  if (h < 20 || h > 50 || w < 9 || w > 40 || w >= h) return 1;
  // The first black offset of a row and the white offset after the run that starts there.
  auto capOk = [&](int r) {
    int o = 0;
    while (o <= w && !P(left + o, r)) ++o;
    if (o > w || o < 4) return false;
    int e = o;
    while (e <= w && P(left + e, r)) ++e;
    return e + 3 <= w;
  };
  if (!capOk(top) && !capOk(top + 1)) return 2;
  if (!capOk(bottom) && !capOk(bottom - 1)) return 12;
  int r1 = top + h / 4, r3 = top + 3 * h / 4;
  int a = 0;
  while (a <= 5 && !P(left + a, r1)) ++a;
  if (a > 5) a = 6;
  int c = w;
  while (c >= w - 6 && !P(left + c, r3)) --c;
  if (c < w - 6) c = w - 7;
  if (!P(left + a, r1) || !P(left + c, r3)) return 3;
  while (P(left + a, r1 + 1)) ++r1;
  while (P(left + c, r3 - 1)) --r3;
  // The middle stroke between (a, r1) and (c, r3), allowed to wander by up to two rows.
  auto trace = [&](int xa, int ya, int xb, int yb, int* endRow) {
    const int steps = std::abs(xb - xa);
    const int dir = xb >= xa ? 1 : -1;
    int offset = 0;
    int y = ya;
    for (int i = 0; i <= steps; ++i) {
      const int x = xa + dir * i;
      const int expected = steps == 0 ? ya : ya + (yb - ya) * i / steps;
      y = expected + offset;
      if (!P(x, y)) {
        const int lean = offset > 0 ? 1 : offset < 0 ? -1 : (yb >= ya ? 1 : -1);
        if (P(x, y + lean))
          offset += lean;
        else if (P(x, y - lean))
          offset -= lean;
        else
          return false;
        if (std::abs(offset) >= 3) return false;
        y = expected + offset;
      }
    }
    *endRow = y;
    return true;
  };
  int endForward = 0, endBack = 0;
  const bool forward = trace(left + a, r1, left + c, r3, &endForward);
  if (!trace(left + c, r3, left + a, r1, &endBack) || (forward && std::abs(endForward - r3) > 2)) return 3;
  if (!forward && std::abs(endBack - r1) > 2) return 3;
  while (P(left + a, r1 - 1)) --r1;
  while (P(left + c, r3 + 1)) ++r3;
  const int m = (2 * left + a + c) / 2;
  // Upper bow: from (a, r1) right towards the middle column; lower bow: from (c, r3) left towards it.
  auto bow = [&](int x, int y, int dir, int dy) {
    while (dir > 0 ? x < m : x > m) {
      if (P(x + dir, y + dy))
        x += dir, y += dy;
      else if (P(x + dir, y))
        x += dir;
      else if (P(x, y + dy))
        y += dy;
      else if (P(x + 2 * dir, y))
        x += 2 * dir;
      else
        break;
      if (y < top - 1 || y > bottom + 1) break;
    }
    return x;
  };
  if (bow(left + a, r1, 1, -1) < m - 2) return 4;
  if (bow(left + c, r3, -1, 1) > m + 2) return 4;
  // The vertical stroke crosses the S: black, white and changes down a column.
  auto crossed = [&](int x) {
    int black = 0, white = 0, changes = 0, prev = 0;
    for (int y = top; y <= bottom && changes <= 7; ++y) {
      const int p = P(x, y);
      if (p)
        ++black;
      else
        ++white;
      if (p != prev) ++changes;
      prev = p;
    }
    return black <= 2 * white && changes >= 5 && changes <= 7;
  };
  bool leftHalf = false;
  for (int x = left + a + 1; x <= m - 1 && !leftHalf; ++x) leftHalf = crossed(x);
  if (!leftHalf) return 5;
  bool rightHalf = false;
  for (int x = left + c - 1; x >= m + 1 && !rightHalf; --x) rightHalf = crossed(x);
  if (!rightHalf) return 6;
  bool rightOpen = false;
  for (int y = (3 * r1 + r3) / 4; y <= (r1 + r3) / 2 - 1 && !rightOpen; ++y) {
    rightOpen = !P(right, y) && !P(right - 1, y) && !P(right - 2, y);
  }
  if (!rightOpen) return 7;
  for (int y = (r1 + 3 * r3) / 4; y >= (r1 + r3) / 2 + 1; --y) {
    if (!P(left, y) && !P(left + 1, y) && !P(left + 2, y)) return 0;
  }
  return 8;
}

int IQAFindAmountBox() {
  gDollar = IqaBox{};
  const IQAImage& im = Image();
  const int xd = im.xDpi, yd = im.yDpi;
  const int c0 = std::max(0, im.width - 5 * xd / 2), c1 = std::max(0, im.width - 3 * xd / 4);
  const int r0 = std::max(im.height - 3 * yd, 3 * yd / 4), r1 = std::max(0, im.height - yd);
  for (int y = r0; y <= r1; y += 8) {
    for (int x = c0; x <= c1; x += 2) {
      if (!P(x, y)) continue;
      int l = x, t = y, r = x, b = y;
      bool limited = false;
      for (;;) {
        if (r - l >= 40 || b - t >= 50) {
          limited = true;
          break;
        }
        bool added = false;
        const bool canDown = b + 1 < r1, canUp = t > r0, canRight = r + 1 < c1, canLeft = l > c0;
        if (canDown) {
          if (P(l, b + 1))
            ++b, added = true;
          else if (canLeft && P(l - 1, b + 1))
            ++b, --l, added = true;
          else if (canRight && P(r + 1, b + 1))
            ++b, ++r, added = true;
        }
        if (canUp && t > r0) {
          if (P(l, t - 1))
            --t, added = true;
          else if (l > c0 && P(l - 1, t - 1))
            --t, --l, added = true;
          else if (r + 1 < c1 && P(r + 1, t - 1))
            --t, ++r, added = true;
        }
        if (r + 1 < c1) {
          if (P(r + 1, t))
            ++r, added = true;
          else if (t > r0 && P(r + 1, t - 1))
            ++r, --t, added = true;
          else if (b + 1 < r1 && P(r + 1, b + 1))
            ++r, ++b, added = true;
        }
        if (l > c0) {
          if (P(l - 1, t))
            --l, added = true;
          else if (t > r0 && P(l - 1, t - 1))
            --l, --t, added = true;
          else if (b + 1 < r1 && P(l - 1, b + 1))
            --l, ++b, added = true;
        }
        if (!added) {
          auto rowAny = [&](int row, int a, int z) {
            for (int i = a; i <= z; ++i) {
              if (P(i, row)) return true;
            }
            return false;
          };
          auto colAny = [&](int col, int a, int z) {
            for (int i = a; i <= z; ++i) {
              if (P(col, i)) return true;
            }
            return false;
          };
          if (b + 1 < r1 && rowAny(b + 1, l + 1, r))
            ++b, added = true;
          else if (t > r0 && rowAny(t - 1, l + 1, r))
            --t, added = true;
          else if (l > c0 && colAny(l - 1, t + 1, b))
            --l, added = true;
          else if (r + 1 < c1 && colAny(r + 1, t + 1, b))
            ++r, added = true;
        }
        if (!added) break;
      }
      if (!limited && IQAIsDollarSign(l, t, r, b) == 0) {
        gDollar = {l, t, r, b};
        LogAt(1, "Character (%d) Area %d,%d,%d,%d", 0, l, t, r, b);
        return 0;
      }
      x = r + 3 - 2;  // the loop's step adds the other 2
    }
  }
  LogAt(1, "NoDollarFound");
  return 1;
}

int IQATestAmountField(int x, int y) {
  const IQAImage& im = Image();
  const int end = std::min(im.width, x + 200);
  int data = 0, blobs = 0;
  for (int r = std::max(0, y - 35); r <= y - 1; r += 5) {
    const RowScan s = ScanRow(r, x, end);
    if (s.blob) ++blobs;
    if (s.changes >= 4) ++data;
  }
  if (blobs > 1) return 1;
  return data > 0 ? 2 : 0;
}

int IQATestField(int line, const char* name, int minimum, int leftInset, int rightInset, int shortFlag) {
  if (line < 0 || line >= gLines.count) return -1;
  const IqaLine& l = gLines.lines[line];
  const int first = l.x1 + leftInset, end = l.x2 - rightInset;
  const int lineRow = std::min(l.y1, l.y2);
  int top = lineRow - (shortFlag ? 20 : 32);
  if (top < 0) top = 5;
  int data = 0, blobs = 0;
  for (int r = top; r < lineRow; r += 5) {
    const RowScan s = ScanRow(r, first, end);
    if (s.blob) ++blobs;
    if (s.changes >= minimum) ++data;
  }
  LogAt(1, "Is%8s (%4d,%4d,%4d,%4d) Data %2d, Blob %d", name, first, top, end, lineRow, data,
        blobs > 1 ? 1 : 0);
  if (data < 2 && blobs == 0) return 0;
  if (blobs > 1) return 1;
  return 2;
}

void IQAFieldLines(uint32_t mask, int32_t* results) {
  const IQAImage& im = Image();
  if (mask & kIqaAmountField) IQAFindAmountBox();
  IQAFindShortLines(0);
  const int W = im.width, H = im.height, xd = im.xDpi, yd = im.yDpi;
  int sign = -1, memo = -1, date = -1, lar = -1, payee = -1;
  int firstLong = -1;
  bool longDone = false;
  for (int i = 0; i < gLines.count; ++i) {
    const IqaLine& l = gLines.lines[i];
    LogAt(1, "Line i %d  => %d,%d,%d,%d", i, l.x1, l.y1, l.x2, l.y2);
    if (H - l.y1 < yd && W - l.x2 < xd && !(l.x1 <= W / 2 && l.x1 <= 2 * xd)) {
      sign = sign == -1 ? i : -2;
    } else if (H - l.y1 < yd && W - l.x2 > 2 * xd && l.x1 < 2 * xd) {
      memo = i;
    } else if (l.y1 < 2 * yd && W - l.x2 < 2 * xd && l.x2 - l.x1 < 3 * xd) {
      date = date == -1 ? i : -2;
    } else if (l.x2 - l.x1 > 3 * xd && l.x1 < 2 * xd && H - l.y1 > yd) {
      if (longDone) continue;
      if (firstLong < 0) {
        firstLong = i;
        continue;
      }
      const int d = std::abs(l.y1 - gLines.lines[firstLong].y1);
      LogAt(2, "i %d, iLongLine %d, iLineDiff %d", i, firstLong, d);
      if (yd / 4 < d && d <= yd) {
        const bool lower = l.y1 > gLines.lines[firstLong].y1;
        lar = lower ? i : firstLong;
        payee = lower ? firstLong : i;
      }
      longDone = true;
    } else {
      LogAt(2, "Unknown Line Type");
    }
  }
  int carX = -1, carY = -1;
  if (gDollar.left < 1) {
    if (payee >= 0) carY = gLines.lines[payee].y2, carX = gLines.lines[payee].x2 + 8;
  } else if (payee < 0) {
    carY = gDollar.bottom, carX = gDollar.right + 8;
  } else if (std::abs(gLines.lines[payee].y2 - gDollar.bottom) < 41) {
    carY = gLines.lines[payee].y2, carX = gDollar.right + 8;
  } else {
    LogAt(2, "Dollars %d,%d,%d,%d, Payee %d", gDollar.left, gDollar.top, gDollar.right, gDollar.bottom,
          gLines.lines[payee].y2);
  }
  LogAt(2, "Lines Sign %d, Memo %d, Date %d, Lar %d, Payee %d, Car %d (%d)", sign, memo, date, lar, payee,
        carY, carX);
  if (mask & kIqaAmountField) results[kSlotAmount] = carY > 0 ? IQATestAmountField(carX, carY) : -1;
  if (mask & kIqaLarField) results[kSlotLar] = IQATestField(lar, "LAR", 8, xd / 2, xd, 0);
  if (mask & kIqaPayeeField) results[kSlotPayee] = IQATestField(payee, "Payee", 8, xd / 2, 0, 0);
  if (mask & kIqaDateField) results[kSlotDate] = IQATestField(date, "Date", 6, xd / 4, 0, 0);
  if (mask & kIqaSignField) results[kSlotSign] = IQATestField(sign, "Sign", 8, 0, xd / 4, 0);
  if (mask & kIqaMemoField) results[kSlotMemo] = IQATestField(memo, "Memo", 6, xd / 2, 0, 0);
}

namespace {

int Slope(const IqaLine& l, bool vertical) {
  const int run = vertical ? l.y2 - l.y1 : l.x2 - l.x1;
  const int rise = vertical ? l.x2 - l.x1 : l.y2 - l.y1;
  return run == 0 ? 0 : rise * 100 / run;
}

bool Overlap(const IqaLine& i, const IqaLine& j) {
  if (!(i.x2 >= j.x1 && i.x1 <= j.x2)) return false;
  const bool below = std::min(i.y1, i.y2) > std::max(j.y1, j.y2);
  const bool above = std::max(i.y1, i.y2) < std::min(j.y1, j.y2);
  return !below && !above;
}

}  // namespace

int IQALineAnalysis() {
  const IQAImage& im = Image();
  const int W = im.width, H = im.height;
  IqaLine horizontal[32];
  int nh = 0;
  for (int x = 100; x < W - 100; x += 100) {
    for (int y = 64; y < H - 64 && nh < 32;) {
      if (!P(x, y)) {
        ++y;
        continue;
      }
      const IqaLine l = TraceLine(x, y, 3);
      if (l.x2 - l.x1 >= 200) {
        if (StraightEnough(l, false)) MergeLine(horizontal, nh, l);
        y += 19;
      } else {
        y += 3;
      }
    }
  }
  auto byLength = [](const IqaLine& a, const IqaLine& b) { return a.x2 - a.x1 > b.x2 - b.x1; };
  std::sort(horizontal, horizontal + nh, byLength);
  int flags = 0;
  int longer = 0;
  for (int i = 0; i < nh; ++i) longer += horizontal[i].x2 - horizontal[i].x1 > W / 2 ? 1 : 0;
  if (longer > 5) flags |= 0x1;
  int overlaps = 0, parallel = 0, level = 0, steep = 0;
  for (int i = 0; i < nh; ++i) {
    const IqaLine& a = horizontal[i];
    const int sa = Slope(a, false);
    if (sa >= -1 && sa <= 1) ++level;
    if (sa < -4 || sa >= 5) ++steep;
    for (int j = i + 1; j < nh; ++j) {
      const IqaLine& b = horizontal[j];
      if (Overlap(a, b)) ++overlaps;
      const int mid = std::abs((a.y1 + a.y2) / 2 - (b.y1 + b.y2) / 2);
      if (std::abs(sa - Slope(b, false)) <= 2 && mid <= 20 && a.x2 > b.x1 && a.x1 < b.x2) ++parallel;
    }
  }
  if (overlaps > 3) flags |= 0x2;
  if (parallel > 3) flags |= 0x4;
  if (level >= 3 && steep >= 3) flags |= 0x8;

  // Vertical pass: lines traced up and down, stored with point 1 the upper end.
  IqaLine vertical[32];
  int nv = 0;
  for (int y = 100; y < H - 100; y += 100) {
    for (int x = 64; x < W - 64 && nv < 32;) {
      if (!P(x, y)) {
        ++x;
        continue;
      }
      IqaLine l{x, y, x, y};
      auto follow = [&](int& cx, int& cy, int dir) {
        while ((dir < 0 ? cy >= 9 : cy < H - 8) && cx >= 21 && cx < W - 20) {
          bool stepped = false;
          for (int j = 0; j < 3 && !stepped; ++j) {
            const int ny = cy + dir * (1 + j);
            for (const int dx : {0, -1, 1}) {
              if (P(cx + dx, ny)) {
                cy = ny;
                cx += dx;
                stepped = true;
                break;
              }
            }
          }
          if (!stepped) break;
        }
      };
      follow(l.x1, l.y1, -1);
      follow(l.x2, l.y2, 1);
      if (l.y2 - l.y1 >= 200) {
        if (StraightEnough(l, true)) MergeLine(vertical, nv, l);
        x += 19;
      } else {
        x += 3;
      }
    }
  }
  std::sort(vertical, vertical + nv, byLength);
  overlaps = parallel = 0;
  for (int i = 0; i < nv; ++i) {
    const IqaLine& a = vertical[i];
    const int length = a.y2 - a.y1;
    if (length > H * 9 / 10 && std::min(a.x1, a.x2) > 200 && std::max(a.x1, a.x2) < W - 200) flags |= 0x40;
    if (length > H / 2 && std::abs(Slope(a, true)) > 3) flags |= 0x80;
    for (int j = i + 1; j < nv; ++j) {
      const IqaLine& b = vertical[j];
      if (Overlap(a, b)) ++overlaps;
      const int mid = std::abs((a.x1 + a.x2) / 2 - (b.x1 + b.x2) / 2);
      if (std::abs(Slope(a, true) - Slope(b, true)) <= 2 && mid <= 20 && a.y2 > b.y1 && a.y1 < b.y2)
        ++parallel;
    }
  }
  if (overlaps > 3) flags |= 0x10;
  if (parallel > 3) flags |= 0x20;
  return flags;
}

}  // namespace analysis::iqa
