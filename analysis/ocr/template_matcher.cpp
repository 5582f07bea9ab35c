// Line-segment templates of the fourteen E13B classes slid over positions near a box's top-left corner:
// stroke segments must meet ink, white segments must stay clear; the best-scoring class (with fixed tie
// rules) names the box. A dash check catches low, wide dash blobs the templates miss.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "analysis/ocr/ocr_state.h"

namespace analysis::ocr {
namespace {

struct Segment {
  int16_t x1, y1, x2, y2;
};
using Template = Segment[10];

constexpr int kClasses = 14;
constexpr char kClassChars[kClasses + 1] = "0123456789:<;=";

// Segments 0..5 ink strokes, 6..9 white; four zeros is no segment.
constexpr Template OCRSegmentTemplates[kClasses] = {
    {{0, 0, 14, 0}, {14, 0, 14, 20}, {14, 20, 0, 20}, {0, 20, 0, 0}, {}, {},
     {4, 5, 10, 13}, {4, 13, 10, 5}, {7, 5, 7, 13}, {}},
    {{0, 0, 4, 4}, {4, 0, 4, 20}, {0, 14, 8, 14}, {0, 20, 8, 20}, {0, 20, 8, 14}, {0, 14, 8, 20},
     {11, 0, 6, 11}, {-3, 2, 1, 9}, {1, 10, -3, 18}, {}},
    {{0, 0, 7, 0}, {7, 0, 7, 10}, {7, 10, 0, 10}, {0, 10, 0, 20}, {0, 20, 7, 20}, {},
     {-5, 5, 4, 5}, {5, 15, 13, 15}, {-3, 0, -3, 20}, {}},
    {{0, 0, 8, 0}, {8, 0, 8, 11}, {9, 21, 0, 21}, {0, 11, 8, 11}, {8, 11, 8, 21}, {10, 13, 10, 20},
     {-6, 5, 5, 5}, {-6, 17, 5, 17}, {12, 0, 12, 8}, {}},
    {{0, 0, 0, 8}, {3, 0, 3, 8}, {3, 16, 13, 16}, {12, 13, 12, 21}, {0, 8, 0, 16}, {3, 8, 3, 16},
     {0, 19, 7, 19}, {7, 0, 13, 10}, {13, 0, 7, 10}, {}},
    {{0, 0, 10, 0}, {0, 0, 0, 10}, {0, 10, 10, 10}, {10, 10, 10, 21}, {10, 21, 2, 21}, {},
     {5, 6, 14, 6}, {-5, 17, 6, 17}, {-2, 0, -2, 20}, {}},
    {{0, 0, 0, 21}, {0, 21, 11, 21}, {11, 21, 11, 13}, {11, 13, 0, 13}, {0, 0, 7, 0}, {7, 0, 7, 4},
     {3, 7, 14, 7}, {4, 17, 8, 17}, {5, 5, 12, 10}, {}},
    {{0, 0, 11, 0}, {11, 0, 11, 7}, {11, 7, 6, 11}, {6, 11, 6, 21}, {0, 0, 0, 6}, {},
     {0, 10, 7, 3}, {0, 10, 0, 21}, {10, 14, 10, 21}, {}},
    {{0, 21, 14, 21}, {2, 11, 12, 11}, {2, 0, 12, 0}, {2, 0, 2, 21}, {12, 0, 12, 21}, {0, 13, 0, 21},
     {6, 4, 9, 8}, {6, 15, 9, 19}, {0, 0, 0, 8}, {}},
    {{0, 0, 13, 0}, {13, 0, 13, 21}, {0, 0, 0, 11}, {0, 11, 13, 11}, {}, {},
     {4, 4, 11, 7}, {-2, 21, 8, 15}, {-2, 15, 8, 21}, {}},
    {{10, 0, 15, 0}, {10, 4, 15, 4}, {10, 15, 15, 15}, {10, 20, 15, 20}, {0, 4, 0, 16}, {2, 4, 2, 16},
     {7, 0, 7, 20}, {7, 10, 17, 10}, {0, 20, 7, 20}, {}},
    {{11, 2, 15, 8}, {11, 8, 15, 2}, {0, 5, 0, 16}, {5, 5, 5, 16}, {11, 2, 11, 8}, {15, 2, 15, 8},
     {10, 13, 17, 20}, {0, 20, 17, 20}, {0, 1, 7, 1}, {}},
    {{0, 14, 0, 20}, {3, 14, 3, 20}, {8, 7, 8, 15}, {14, 0, 14, 7}, {16, 0, 16, 7}, {},
     {18, 11, 8, 18}, {0, 10, 10, 0}, {6, 0, 6, 18}, {0, -2, 16, -2}},
    {{0, 7, 0, 12}, {4, 7, 4, 12}, {8, 7, 8, 12}, {11, 7, 11, 12}, {16, 7, 16, 12}, {},
     {7, 0, 7, 20}, {14, 0, 14, 20}, {0, 17, 17, 17}, {0, 4, 17, 4}},
};

bool Absent(const Segment& s) { return s.x1 == 0 && s.y1 == 0 && s.x2 == 0 && s.y2 == 0; }

// A test point fails: a stroke with all three pixels white, a white segment with all three ink.
bool PointFails(int32_t x, int32_t y, bool acrossX, bool stroke) {
  const bool a = acrossX ? Ink(x - 1, y) : Ink(x, y - 1);
  const bool b = Ink(x, y);
  const bool c = acrossX ? Ink(x + 1, y) : Ink(x, y + 1);
  return stroke ? (!a && !b && !c) : (a && b && c);
}

// Walks one segment at (X, Y); adds its failing points to `misses` and returns whether any failed.
bool WalkFails(const Segment& s, int32_t X, int32_t Y, bool stroke, int& misses) {
  int failed = 0;
  if (s.x1 == s.x2) {
    const int32_t y0 = std::min(s.y1, s.y2), y1 = std::max(s.y1, s.y2);
    for (int32_t y = y0; y <= y1; ++y) failed += PointFails(X + s.x1, Y + y, true, stroke);
  } else if (s.y1 == s.y2) {
    const int32_t x0 = std::min(s.x1, s.x2), x1 = std::max(s.x1, s.x2);
    for (int32_t x = x0; x <= x1; ++x) failed += PointFails(X + x, Y + s.y1, false, stroke);
  } else {
    const bool forward = s.x1 < s.x2;
    const int32_t xs = forward ? s.x1 : s.x2, ys = forward ? s.y1 : s.y2;
    const int32_t xe = forward ? s.x2 : s.x1, ye = forward ? s.y2 : s.y1;
    // Truncation towards zero, as the fixed-point slope was defined.
    const int32_t slope = ((ye - ys) * 8192) / (xe - xs);
    for (int32_t i = 0; i <= xe - xs; ++i) {
      failed += PointFails(X + xs + i, Y + ys + (i * slope) / 8192, false, stroke);
    }
  }
  misses += failed;
  return failed != 0;
}

uint32_t Bit(int c) { return 1u << c; }

void DashCheck(OCRCharBox& box) {
  const int32_t left = box.left, right = box.right, top = box.top, bottom = box.bottom;
  auto rowHasInk = [&](int32_t y) {
    for (int32_t x = left; x <= right - 1; ++x) {
      if (Ink(x, y)) return true;
    }
    return false;
  };
  int32_t u = top + 16;
  for (int32_t y = std::max(top - 4, 0); y <= top + 15; ++y) {
    if (rowHasInk(y)) {
      u = y;
      break;
    }
  }
  int32_t v = bottom - 16;
  for (int32_t y = std::min(bottom + 4, OCRWorkImage.height); y >= bottom - 15; --y) {
    if (rowHasInk(y)) {
      v = y;
      break;
    }
  }
  if (std::abs(v - u - 12) > 3) return;
  const int32_t m = (u + v) / 2;
  int count = 0;
  int32_t first = 0, last = 0;
  for (int32_t x = left; x <= right - 1; ++x) {
    if (!(Ink(x, m - 4) && Ink(x, m) && Ink(x, m + 4))) continue;
    if (count++ == 0) first = x;
    last = x;
  }
  if (count < 8) return;
  const int32_t d = last - first;
  if (std::abs(d - 13) <= 3 && box.confidence == 0) {
    box.ch = '=';
    box.confidence = 1;
  }
  if (std::abs(d - 18) <= 3 && box.confidence <= 2) {
    box.ch = '=';
    box.confidence = 2;
    OCRBestX = first;
    OCRBestY = m - 12;
  }
}

}  // namespace

void funcOCRMatchTemplates(OCRCharBox& box) {
  const int32_t left = box.left, top = box.top;
  OCRBestX = left + 14;
  OCRBestY = top + 6;
  int best = 0;
  uint32_t bestSet = 0, strokeOnly = 0;
  for (int32_t Y = top; Y <= top + 7; ++Y) {
    if (Y >= OCRBestY + 3 && best >= 3) break;
    for (int32_t X = left; X <= left + 13; ++X) {
      if (X >= OCRBestX + 3) break;
      for (int c = 0; c < kClasses; ++c) {
        if (best >= 3 && (bestSet & Bit(c)) != 0) continue;
        const Template& t = OCRSegmentTemplates[c];
        int score = X < left + 8 ? 3 : 2;
        int misses = 0;
        int i = 0;
        for (; i < 6 && score >= 2; ++i) {
          if (!Absent(t[i]) && WalkFails(t[i], X, Y, true, misses)) --score;
        }
        bool exempt = false;
        if (i == 6 && score == 3) {
          exempt = c == 8 || c == 13;
          if (c == 8 || strokeOnly == 0 || strokeOnly == Bit(1)) strokeOnly = Bit(c);
          else if (strokeOnly != Bit(8)) strokeOnly |= Bit(c);
        }
        for (; i < 10 && score >= 1; ++i) {
          if (!Absent(t[i]) && WalkFails(t[i], X, Y, i < 6, misses)) --score;
        }
        if (!exempt && misses >= 5) --score;
        if (score < 2 || score < best) continue;
        if (score > best) {
          best = score;
          bestSet = Bit(c);
          OCRBestX = X;
          OCRBestY = Y;
        } else if (c == 8) {
          bestSet = Bit(8);
          OCRBestX = X;
          OCRBestY = Y;
        } else if (bestSet == Bit(8) || (c == 1 && bestSet == Bit(3))) {
          // the earlier reading stands
        } else {
          bestSet |= Bit(c);
          OCRBestX = X;
          OCRBestY = Y;
        }
      }
    }
  }
  if (bestSet == 0 && strokeOnly != 0) {
    bestSet = strokeOnly;
    best = 1;
  }
  if (bestSet == 0) {
    box.ch = '@';
    box.confidence = 0;
  } else {
    box.confidence = best;
    box.ch = '@';
    for (int c = 0; c < kClasses; ++c) {
      if (bestSet == Bit(c)) box.ch = kClassChars[c];
    }
  }
  if (box.confidence == 0 || (box.ch == '=' && box.confidence == 1)) DashCheck(box);
}

}  // namespace analysis::ocr
