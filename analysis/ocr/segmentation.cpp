// Character boxes of the code line: probing the band for ink, growing a box from it, looking for missed
// characters beside the known ones, and tidying the list (confident boxes only, overlaps merged, boxes
// off the line dropped). Distances are working pixels at about 200 dpi.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "analysis/ocr/ocr_state.h"
#include "analysis/services.h"

namespace analysis::ocr {
namespace {

constexpr int32_t kParamHongKongRules = 142;

bool NearResolution(int32_t r) { return std::abs(r - 200) <= 10 || std::abs(r - 300) <= 10; }

bool Digit(char c) { return c >= '0' && c <= '9'; }

// The first ink pixel of row y in columns x0..x1, or x1 + 1.
int32_t FirstInkInRow(int32_t y, int32_t x0, int32_t x1) {
  for (int32_t x = x0; x <= x1; ++x) {
    if (Ink(x, y)) return x;
  }
  return x1 + 1;
}
int32_t FirstInkInColumn(int32_t x, int32_t y0, int32_t y1) {
  for (int32_t y = y0; y <= y1; ++y) {
    if (Ink(x, y)) return y;
  }
  return y1 + 1;
}

bool Append(const OCRCharBox& box, int32_t index) {
  if (index >= kMaxBoxes) return false;
  OCRBoxTable.boxes[static_cast<size_t>(index)] = box;
  return true;
}

// The side window's count and ink bounds; classifies the window into `box`. Returns its confidence rule.
int LookBeside(OCRCharBox& box, int mode, int32_t x0, bool leftWindow, int32_t edgeBefore) {
  const int32_t cy = (box.top + box.bottom) / 2;
  const int32_t y0 = cy - 15;
  int n = 0;
  int32_t l = INT32_MAX, t = INT32_MAX, r = INT32_MIN, b = INT32_MIN;
  for (int32_t y = y0; y <= y0 + 30; ++y) {
    for (int32_t x = x0; x <= x0 + 23; ++x) {
      if (!Ink(x, y)) continue;
      ++n;
      l = std::min(l, x);
      r = std::max(r, x);
      t = std::min(t, y);
      b = std::max(b, y);
    }
  }
  if (n < 76 || n >= 550) {
    box.ch = ' ';
    box.left = x0;
    box.right = x0 + 20;
    box.confidence = n >= 400 ? 0 : (n >= 25 ? 2 : 3);
  } else {
    box.ch = ' ';
    box.confidence = 0;
    while (b - t < 19) {
      b += 7;
      if (b - t < 19) t -= 7;
    }
    box.left = l;
    box.top = t;
    box.right = r;
    box.bottom = b;
    funcOCRMatchTemplates(box);
    if (leftWindow) {
      if (box.confidence == 1 && edgeBefore < 30) box.confidence = 0;
      if (box.confidence >= 2 && edgeBefore - OCRBestX < 10) box.confidence = 0;
    }
    if (box.confidence == 1) {
      box.left = x0;
      box.right = x0 + 20;
      box.top = y0 + 3;
      box.bottom = y0 + 27;
    } else if (box.confidence >= 2) {
      box.left = OCRBestX;
      box.top = OCRBestY;
      box.right = box.left + (Digit(box.ch) ? kDigitWidths[box.ch - '0'] : 19);
      box.bottom = box.top + 24;
    }
  }
  return (box.confidence >= 2 || (box.confidence == 1 && mode != 0)) ? 1 : 0;
}

bool OverlapVertically(const OCRCharBox& a, const OCRCharBox& b) { return a.bottom > b.top && b.bottom > a.top; }

}  // namespace

int funcOCRGrowBox(int32_t x, int32_t y, int32_t limit) {
  int32_t left = x, right = x, top = y, bottom = y;
  bool changed = true;
  while (changed && right - left < limit && bottom - top < limit + 8) {
    changed = false;
    int32_t at = FirstInkInRow(top - 1, left - 1, right + 1);
    if (at <= right + 1) {
      --top;
      if (at == left - 1) --left;
      else if (at == right + 1) ++right;
      changed = true;
    }
    at = FirstInkInRow(bottom + 1, left - 1, right + 1);
    if (at <= right + 1) {
      ++bottom;
      if (at == left - 1) --left;
      else if (at == right + 1) ++right;
      changed = true;
    }
    at = FirstInkInColumn(left - 1, top - 1, bottom + 1);
    if (at <= bottom + 1) {
      --left;
      if (at == top - 1) --top;
      else if (at == bottom + 1) ++bottom;
      changed = true;
    }
    at = FirstInkInColumn(right + 1, top - 1, bottom + 1);
    if (at <= bottom + 1) {
      ++right;
      if (at == top - 1) --top;
      else if (at == bottom + 1) ++bottom;
      changed = true;
    }
  }
  const int32_t h = bottom - top, w = right - left;
  if (h <= limit - 8 || h >= limit + 8 || w >= limit || w < 7 || left < limit ||
      right > OCRWorkImage.width - limit || OCRBoxTable.count >= kMaxBoxes) {
    return 0;
  }
  OCRBoxTable.boxes[static_cast<size_t>(OCRBoxTable.count++)] = OCRCharBox{0, left, top, right, bottom, 0};
  return 1;
}

int funcOCRFindBoxes() {
  const int32_t r = OCRWorkImage.yResolution;
  if (!NearResolution(r)) return 0;
  const int32_t s = r * 12 / 100;
  const BandRows rows = ScanRows();
  const int32_t a = rows.first, b = rows.last, m = (a + b) / 2;
  OCRBoxTable = BoxTable{};
  for (int32_t x = s; x < OCRWorkImage.width - s; x += 2) {
    for (int k = 0;; ++k) {
      const int32_t offset = ((k + 1) / 2 * s) / 2;
      const int32_t y = k % 2 == 0 ? m + offset : m - offset;
      if (y <= a || y >= b) break;
      if (Ink(x, y) && funcOCRGrowBox(x, y, s) != 0) {
        x = OCRBoxTable.boxes[static_cast<size_t>(OCRBoxTable.count - 1)].right + 2;
        k = 10;  // the next probe is k = 11 at the new column
      }
    }
  }
  return OCRBoxTable.count;
}

void funcOCRKeepConfident() {
  int32_t o = 0;
  for (int32_t i = 0; i < OCRBoxTable.count; ++i) {
    const OCRCharBox& b = OCRBoxTable.boxes[static_cast<size_t>(i)];
    if (b.confidence >= 2) OCRBoxTable.boxes[static_cast<size_t>(o++)] = b;
  }
  OCRBoxTable.count = o;
}

int funcOCRFindLeftChar(OCRCharBox& box, int mode) {
  if (box.left < 20) return 0;
  const int32_t cx = (box.left + box.right) / 2;
  const int32_t x0 = std::max(cx - 39, 2);
  return LookBeside(box, mode, x0, true, box.left);
}

int funcOCRFindRightChar(OCRCharBox& box, int mode) {
  if (OCRWorkImage.width - box.right < 30) return 0;
  return LookBeside(box, mode, box.right + 5, false, box.left);
}

void funcOCRFillGaps(int mode) {
  auto& boxes = OCRBoxTable.boxes;
  const int32_t n = OCRBoxTable.count;
  int32_t added = 0;
  for (int32_t i = 0; i < n; ++i) {
    OCRCharBox scratch = boxes[static_cast<size_t>(i)];
    while (!(i > 0 && scratch.left - 25 <= boxes[static_cast<size_t>(i - 1)].right) &&
           funcOCRFindLeftChar(scratch, mode) != 0 && Append(scratch, n + added)) {
      ++added;
    }
  }
  for (int32_t i = 0; i < n; ++i) {
    OCRCharBox scratch = boxes[static_cast<size_t>(i)];
    while (!(i + 1 < n && scratch.right + 25 >= boxes[static_cast<size_t>(i + 1)].left) &&
           funcOCRFindRightChar(scratch, mode) != 0 && Append(scratch, n + added)) {
      ++added;
    }
  }
  OCRBoxTable.count = n + added;
}

void funcOCRMergeBoxes() {
  auto& boxes = OCRBoxTable.boxes;
  const int32_t n = OCRBoxTable.count;
  if (n <= 0) return;
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = i + 1; j < n; ++j) {
      if (boxes[static_cast<size_t>(j)].left < boxes[static_cast<size_t>(i)].left) {
        std::swap(boxes[static_cast<size_t>(i)], boxes[static_cast<size_t>(j)]);
      }
    }
  }
  const bool hongKong = CurrentServices().ZARNGetParam(kParamHongKongRules) != 0;
  OCRCharBox k = boxes[0];
  int32_t o = 0;
  for (int32_t j = 1; j < n; ++j) {
    const OCRCharBox& b = boxes[static_cast<size_t>(j)];
    const int32_t v = k.right - b.left;
    const bool twoChars = k.ch != '@' && b.ch != '@' && k.confidence >= 1 && b.confidence >= 1 &&
                          (hongKong ? v <= 9 : v < 7);
    if (v < 5 || twoChars) {
      boxes[static_cast<size_t>(o++)] = k;
      k = b;
    } else if (k.ch == ' ' && b.ch != ' ') {
      k = b;
    } else if (b.ch == ' ' && k.ch != ' ') {
      // j dropped
    } else if (k.confidence > b.confidence) {
      // j dropped
    } else if (b.confidence > k.confidence) {
      k = b;
    } else if (k.ch == ' ' && b.ch == ' ') {
      const int32_t lo = std::min(k.left, b.left), hi = std::max(k.right, b.right);
      const int32_t w = hi - lo;
      if (w < 25) {
        k.left = lo;
        k.right = hi;
      } else if (w >= 30) {
        k.left = lo;
        k.right = lo + 20;
        boxes[static_cast<size_t>(o++)] = k;
        k = b;
        k.left = lo + 25;
        k.right = hi;
      } else {
        k.left = lo;
        k.right = lo + 20;
      }
    }
    // Equal confidences and two non-blank characters: the left one stays.
  }
  boxes[static_cast<size_t>(o)] = k;
  OCRBoxTable.count = o + 1;
}

void funcOCRDropOffLineBoxes() {
  auto& boxes = OCRBoxTable.boxes;
  const int32_t n = OCRBoxTable.count;
  auto box = [&](int32_t i) -> const OCRCharBox& { return boxes[static_cast<size_t>(i)]; };
  int32_t c = 0, j = 1, o = 0;
  while (j < n) {
    if (box(c).ch == ' ') {
      ++c;
      if (c >= j) j = c + 1;
      continue;
    }
    if (box(j).ch == ' ') {
      ++j;
      continue;
    }
    bool keep = (c + 1 < n && OverlapVertically(box(c), box(c + 1))) ||
                (c > 0 && OverlapVertically(box(c), box(c - 1)));
    if (!keep) keep = box(c).right + 60 < box(j).left;
    if (keep) boxes[static_cast<size_t>(o++)] = box(c);
    ++c;
    if (c >= j) j = c + 1;
  }
  // The last box stays unless it is a blank (or the table is empty).
  if (c < n && box(c).ch != ' ') boxes[static_cast<size_t>(o++)] = box(c);
  OCRBoxTable.count = o;
}

}  // namespace analysis::ocr
