// Structural digit tests: each follows the strokes of a box of about 18 x 24 pixels at 200 dpi from fixed
// starting points and compares the lengths it finds with fixed windows. A box that exactly one test
// accepts is read with confidence 4; boxes no test accepts go to the template matcher.
#include <cstdlib>

#include "analysis/ocr/ocr_state.h"

namespace analysis::ocr {
namespace {

constexpr int kGateWidths[10] = {18, 9, 10, 13, 16, 13, 15, 13, 18, 15};

struct Pt {
  int32_t x, y;
};

// |a - b| < k
bool Near(int32_t a, int32_t b, int32_t k) { return std::abs(a - b) < k; }

class Box {
 public:
  explicit Box(const OCRCharBox& b) : L(b.left), T(b.top), R(b.right), B(b.bottom) {}

  // The first ink row of column c in T..T+4.
  bool TopStart(int32_t c, Pt& p) const {
    for (int32_t y = T; y <= T + 4; ++y) {
      if (Ink(c, y)) {
        p = {c, y};
        return true;
      }
    }
    return false;
  }
  bool TopStart(Pt& p) const { return TopStart((L + R) / 2, p); }

  // Straight on, then the upper (left) diagonal, then the other one, until the box edge or white.
  void Left(Pt& p) const {
    while (p.x > L) {
      if (Ink(p.x - 1, p.y)) --p.x;
      else if (Ink(p.x - 1, p.y - 1)) --p.x, --p.y;
      else if (Ink(p.x - 1, p.y + 1)) --p.x, ++p.y;
      else break;
    }
  }
  void Right(Pt& p) const {
    while (p.x < R) {
      if (Ink(p.x + 1, p.y)) ++p.x;
      else if (Ink(p.x + 1, p.y - 1)) ++p.x, --p.y;
      else if (Ink(p.x + 1, p.y + 1)) ++p.x, ++p.y;
      else break;
    }
  }
  void Up(Pt& p) const {
    while (p.y > T) {
      if (Ink(p.x, p.y - 1)) --p.y;
      else if (Ink(p.x - 1, p.y - 1)) --p.y, --p.x;
      else if (Ink(p.x + 1, p.y - 1)) --p.y, ++p.x;
      else break;
    }
  }
  void Down(Pt& p) const {
    while (p.y < B) {
      if (Ink(p.x, p.y + 1)) ++p.y;
      else if (Ink(p.x - 1, p.y + 1)) ++p.y, --p.x;
      else if (Ink(p.x + 1, p.y + 1)) ++p.y, ++p.x;
      else break;
    }
  }
  // The first ink column of row y in x0..x1, or x1 + 1.
  int32_t FirstInk(int32_t y, int32_t x0, int32_t x1) const {
    for (int32_t x = x0; x <= x1; ++x) {
      if (Ink(x, y)) return x;
    }
    return x1 + 1;
  }
  int CountInk(int32_t y) const {
    int n = 0;
    for (int32_t x = L; x <= R; ++x) n += Ink(x, y);
    return n;
  }

  bool Zero() const {
    Pt p, q;
    if (!TopStart(p)) return false;
    q = p;
    Left(p), Right(q);
    if (!(q.x - p.x > 8 && Near(p.y, q.y, 6))) return false;
    Down(p), Down(q);
    if (!(B - p.y < 7 && B - q.y < 7)) return false;
    Right(p);
    if (!(Near(p.y, B, 5) && Near(p.x, R, 7))) return false;
    const int32_t cx = (L + R) / 2, cy = (T + B) / 2;
    // The white runs stop at the box edge.
    int32_t xl = cx, xr = cx, yu = cy, yd = cy;
    while (xl > L && !Ink(xl - 1, cy)) --xl;
    while (xr < R && !Ink(xr + 1, cy)) ++xr;
    if (!(xr - xl > 7)) return false;
    while (yu > T && !Ink(cx, yu - 1)) --yu;
    while (yd < B && !Ink(cx, yd + 1)) ++yd;
    return yd - yu > 15;
  }

  bool One() const {
    const int32_t row = (T + B) / 2;
    int32_t x = FirstInk(row, L, R);
    if (!(x < R)) return false;
    if (Ink(x + 1, row)) ++x;
    Pt p{x, row}, q{x, row}, s;
    Up(p), Down(q);
    if (!(Near(p.x, q.x, 4) && Near(q.y - p.y, 24, 5))) return false;
    p.y += 2;
    s = p;
    Left(s), Right(p);
    if (!(p.x - s.x < 8)) return false;
    q.y -= 2;
    s = q;
    Left(s), Right(q);
    if (!Near(q.x - s.x, 9, 5)) return false;
    q = s;
    Up(q), Down(s);
    return std::abs(s.y - q.y) >= 8;
  }

  bool Two() const {
    Pt p, q;
    if (!TopStart(p)) return false;
    q = p;
    Left(p), Right(q);
    if (!(Near(q.x - p.x, 10, 4) && Near(p.y, q.y, 4))) return false;
    const int32_t s = p.x;
    p = q;
    Down(q);
    if (!(Near(p.x, q.x, 4) && q.y - p.y >= 8)) return false;
    p = q;
    Left(p);
    if (!(Near(p.y, q.y, 4) && Near(q.x - p.x, 10, 4))) return false;
    q = p;
    Down(q);
    if (!(Near(p.x, q.x, 4) && q.y - p.y >= 7)) return false;
    p = q;
    Right(q);
    return Near(p.y, q.y, 4) && Near(q.x - p.x, 10, 4) && Near(s, p.x, 4);
  }

  bool Three() const {
    Pt p, q;
    if (!TopStart(p)) return false;
    q = p;
    Left(p), Right(q);
    if (!(q.x - p.x >= 7 && Near(p.y, q.y, 4))) return false;
    p = q;
    Down(q);
    if (!(Near(q.y - p.y, 24, 4) && Near(p.x, q.x, 4))) return false;
    p = q;
    Left(p);
    if (!(q.x - p.x >= 7 && Near(p.y, q.y, 4))) return false;
    const int32_t r1 = (3 * T + B) / 4, r2 = (T + 3 * B) / 4;
    const int32_t x1 = FirstInk(r1, L, R), x2 = FirstInk(r2, L, R);
    if (!(x1 - L >= 6 && x2 - L >= 6)) return false;
    int32_t y = r2;
    while (y > r1 && !Ink(x2 - 3, y)) --y;
    return y > r1;
  }

  bool Four() const {
    const int32_t row = (T + B) / 2;
    const int32_t x = FirstInk(row, L, L + 4);
    if (x > L + 4) return false;
    Pt p{x, row}, q{x, row}, s;
    Up(p), Down(q);
    if (!(Near(p.x, q.x, 4) && q.y - p.y > 14 && B - q.y > 3)) return false;
    s = p;
    Right(s);
    if (!Near(s.x, p.x, 9)) return false;
    p = q;
    Right(q);
    if (!(Near(p.y, q.y, 4) && Near(q.x - p.x, 16, 4))) return false;
    p = q;
    Up(p), Down(q);
    if (!(Near(p.x, q.x, 4) && Near(q.y, B, 4) && Near(q.y - p.y, 11, 4))) return false;
    p = q;
    Left(p);
    if (!(q.x - p.x < 9)) return false;
    int32_t cx = R - 7, cy = T + 7;
    while (cx < R && !Ink(cx, cy)) ++cx, --cy;
    return cx == R;
  }

  bool Five() const {
    Pt p, q, s;
    if (!TopStart(p)) return false;
    q = p;
    Left(p), Right(q);
    if (!(Near(q.x - p.x, 13, 4) && Near(p.y, q.y, 4))) return false;
    s = q;
    Down(s);
    q = p;
    Down(q);
    if (!(Near(p.x, q.x, 4) && q.y - p.y >= 8 && s.y - p.y < 5)) return false;
    p = q;
    Right(q);
    if (!(Near(p.y, q.y, 4) && Near(q.x - p.x, 13, 4))) return false;
    p = q;
    Down(q);
    if (!(Near(p.x, q.x, 4) && q.y - p.y >= 7)) return false;
    p = q;
    Left(p);
    if (!(Near(p.y, q.y, 4) && Near(q.x - p.x, 13, 4))) return false;
    q = p;
    Up(p);
    if (!(q.y - p.y < 6)) return false;
    p = {q.x + 3, q.y};
    Up(p);
    return q.y - p.y < 6;
  }

  bool Six() const {
    Pt p, q, s;
    if (!TopStart((3 * L + R) / 4, p)) return false;
    q = p;
    Left(p), Right(q);
    if (!(q.x - p.x > 7 && Near(p.y, q.y, 4))) return false;
    s = q;
    q = p;
    Down(q), Down(s);
    if (!(Near(p.x, q.x, 4) && Near(q.y - p.y, 24, 5) && Near(s.y, p.y, 8))) return false;
    p = q;
    Right(q);
    if (!(Near(q.x - p.x, 15, 4) && Near(p.y, q.y, 4))) return false;
    p = q;
    Up(p);
    if (!(Near(p.x, q.x, 4) && Near(q.y - p.y, 8, 4))) return false;
    q = p;
    Left(p);
    if (!(Near(q.x - p.x, 15, 4) && Near(p.y, q.y, 4) && B - p.y > 6)) return false;
    const int32_t row = (B + 2 * T) / 3;
    for (int32_t x = (L + R) / 2; x <= R - 1; ++x) {
      if (Ink(x, row)) return false;
    }
    const int32_t r = (T + 3 * B) / 4;
    int n = 0;
    for (int32_t x = L; x <= R; ++x) n += Ink(x, r) && Ink(x, r + 1);
    return n >= 2 && n <= 9;
  }

  bool Seven() const {
    Pt p, q, s;
    if (!TopStart(p)) return false;
    q = p;
    Left(p), Right(q);
    if (!(Near(q.x - p.x, 12, 4) && Near(p.y, q.y, 4))) return false;
    s = q;
    Down(p), Down(q);
    if (!(q.y - s.y > 8 && p.y - s.y < 9)) return false;
    p = q;
    Left(p);
    q = p;
    Down(q);
    if (!(Near(p.x, q.x, 4) && q.y - p.y > 7 && Near(B, q.y, 4))) return false;
    p = q;
    Left(p), Right(q);
    if (!(Near(p.y, q.y, 4) && q.x - p.x < 7 && p.x - L > 4 && R - q.x > 4)) return false;
    p = q = {(p.x + q.x) / 2, (p.y + q.y) / 2 - 4};
    Left(p), Right(q);
    return std::abs(q.x - p.x) < 7;
  }

  bool Eight() const {
    Pt p, q;
    if (!TopStart(p)) return false;
    q = p;
    Left(p), Right(q);
    if (!(q.x - p.x >= 8 && Near(p.y, q.y, 4))) return false;
    const int32_t t = q.x - p.x;
    Down(p), Down(q);
    if (!(Near(p.y, B, 4) && Near(q.y, B, 4))) return false;
    Right(p), Left(q);
    if (!(Near(p.x - q.x, 18, 5) && p.x - q.x - 2 > t)) return false;
    const int32_t x = (p.x + q.x) / 2;
    int32_t y = (p.y + q.y) / 2;
    const int32_t mid = (T + B) / 2;
    // Up the column, never above the box.
    while (y > T && Ink(x, y - 1)) --y;
    while (y > T && !Ink(x, y - 1)) --y;
    if (!Near(y, mid, 5)) return false;
    while (y > T && Ink(x, y - 1)) --y;
    if (!Near(y, mid, 5)) return false;
    const int32_t m = y;
    while (y > T && !Ink(x, y - 1)) --y;
    while (y > T && Ink(x, y - 1)) --y;
    if (!Near(y, T, 4)) return false;
    p = q = {x, m};
    Right(p), Left(q);
    return std::abs(q.x - p.x) > 7 && Near(p.y, q.y, 5) && CountInk((m + B) / 2) >= 10;
  }

  bool Nine() const {
    Pt p, q;
    if (!TopStart(p)) return false;
    q = p;
    Left(p), Right(q);
    if (!(Near(q.x - p.x, 15, 4) && Near(p.y, q.y, 4))) return false;
    q = p;
    Down(q);
    if (!(Near(p.x, q.x, 4) && q.y - p.y > 8 && std::abs(q.y - B) > 6)) return false;
    p = q;
    Right(q);
    if (!(Near(q.x - p.x, 15, 4) && Near(p.y, q.y, 4))) return false;
    p = q;
    Up(p), Down(q);
    if (!(Near(p.x, q.x, 4) && Near(q.y - p.y, 24, 5))) return false;
    return CountInk((3 * B + T) / 4) < 8;
  }

 private:
  int32_t L, T, R, B;
};

}  // namespace

bool StructuralTest(int digit, const OCRCharBox& box) {
  const Box b(box);
  switch (digit) {
    case 0: return b.Zero();
    case 1: return b.One();
    case 2: return b.Two();
    case 3: return b.Three();
    case 4: return b.Four();
    case 5: return b.Five();
    case 6: return b.Six();
    case 7: return b.Seven();
    case 8: return b.Eight();
    case 9: return b.Nine();
    default: return false;
  }
}

void funcOCRClassifyDigits() {
  for (int32_t i = 0; i < OCRBoxTable.count; ++i) {
    OCRCharBox& box = OCRBoxTable.boxes[static_cast<size_t>(i)];
    const int32_t w = box.right - box.left, h = box.bottom - box.top;
    int candidates = 0;
    int digit = 0;
    if (std::abs(h - 24) < 5) {
      for (int d = 0; d < 10; ++d) {
        if (std::abs(w - kGateWidths[d]) < 5 && StructuralTest(d, box)) {
          ++candidates;
          digit = d;
        }
      }
    }
    if (candidates == 1) {
      box.ch = static_cast<char>('0' + digit);
      box.confidence = 4;
    } else if (candidates > 1) {
      box.ch = '@';
      box.confidence = 0;
    } else {
      funcOCRMatchTemplates(box);
    }
  }
}

}  // namespace analysis::ocr
