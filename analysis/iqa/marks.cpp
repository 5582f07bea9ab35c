// Speckle removal, black share and dense black areas, the grade of the magnetic code line, and the
// endorsement search on a rear image.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "analysis/iqa/iqa_image.h"
#include "analysis/iqa/iqa_tests.h"

namespace analysis::iqa {
namespace {

int P(int c, int r) {
  return IQAGetPixel(c, r);
}

std::atomic<uint32_t (*)()> gFlagsSource{nullptr};

struct Box {
  int left, top, right, bottom;
};

// Any black pixel in row r between columns a and b (inclusive).
bool RowHasBlack(int r, int a, int b) {
  for (int x = a; x <= b; ++x) {
    if (P(x, r)) return true;
  }
  return false;
}
bool ColumnHasBlack(int c, int a, int b) {
  for (int y = a; y <= b; ++y) {
    if (P(c, y)) return true;
  }
  return false;
}

// One growth pass of the speckle and endorsement searches inside columns x0..x1 and rows y0..y1: down,
// up, left, right; true when the box grew.
bool GrowPass(Box& b, int x0, int x1, int y0, int y1) {
  if (b.bottom + 1 <= y1) {
    const int r = b.bottom + 1;
    if (b.left > x0 && P(b.left - 1, r)) {
      b.bottom = r;
      --b.left;
      return true;
    }
    if (b.right + 1 <= x1 && P(b.right + 1, r)) {
      b.bottom = r;
      ++b.right;
      return true;
    }
    if (RowHasBlack(r, b.left, b.right)) {
      b.bottom = r;
      return true;
    }
  }
  if (b.top > y0) {
    const int r = b.top - 1;
    if (b.left > x0 && P(b.left - 1, r)) {
      b.top = r;
      --b.left;
      return true;
    }
    if (b.right + 1 <= x1 && P(b.right + 1, r)) {
      b.top = r;
      ++b.right;
      return true;
    }
    if (RowHasBlack(r, b.left, b.right)) {
      b.top = r;
      return true;
    }
  }
  if (b.left >= 1 && ColumnHasBlack(b.left - 1, b.top, b.bottom)) {
    --b.left;
    return true;
  }
  if (b.right + 1 <= x1 && ColumnHasBlack(b.right + 1, b.top, b.bottom)) {
    ++b.right;
    return true;
  }
  return false;
}

}  // namespace

int CleanDocument(int maxWidth, int maxHeight, int margin) {
  LogAt(1, "CleanDocument");
  if (maxWidth < 1 || maxWidth > 10 || maxHeight < 1 || maxHeight > 10) return 0;
  const IQAImage& im = Image();
  if (!im.held()) return 0;
  int x0 = 0, x1 = im.width - 1, y0 = 0, y1 = im.height - 1;
  if (margin != 0) {
    int side = 0;
    if (std::abs(im.xDpi - 200) < 11)
      side = 50;
    else if (std::abs(im.xDpi - 240) < 11)
      side = 60;
    else if (std::abs(im.xDpi - 300) < 11)
      side = 75;
    if (side != 0) {
      x0 = side;
      x1 = im.width - side - 1;
      y0 = side;
      y1 = im.height - side / 2 - 1;
    }
  }
  int total = 0;
  for (int y = y0; y <= y1; ++y) {
    const uint8_t* row = im.Row(y);
    for (int x = x0; x <= x1; ++x) {
      if ((x & 7) == 0 && row[x >> 3] == 0 && x + 7 <= x1) {
        x += 7;
        continue;
      }
      if (!P(x, y)) continue;
      Box b{x, y, x, y};
      while (b.right + 1 <= x1 && P(b.right + 1, y)) ++b.right;
      while (b.right - b.left < maxWidth && b.bottom - b.top < maxHeight && GrowPass(b, x0, x1, y0, y1)) {
      }
      if (b.right - b.left < maxWidth && b.bottom - b.top < maxHeight) {
        for (int r = b.top; r <= b.bottom; ++r) {
          for (int c = b.left; c <= b.right; ++c) IQAClearPixel(c, r);
        }
        total += (b.right - b.left + 1) * (b.bottom - b.top + 1);
      }
      x = b.right;  // the loop's step moves on to right + 1
    }
  }
  LogAt(2, "Speckles %d", total);
  return total;
}

int IQABlackPercent() {
  const IQAImage& im = Image();
  const int64_t area = int64_t{im.width} * im.height;
  if (!im.held() || area < 1) return -1;
  int64_t black = 0;
  const size_t bytes = static_cast<size_t>(im.rowBytes) * static_cast<size_t>(im.height);
  for (size_t i = 0; i < bytes; ++i) black += __builtin_popcount(im.pixels[i]);
  return static_cast<int>(black * 100 / area);
}

namespace {

// Black pixels of any rectangle in constant time: a summed-area table of the image.
class BlackSums {
 public:
  explicit BlackSums(const IQAImage& im) : w_(im.width), h_(im.height) {
    sums_.assign(static_cast<size_t>(w_ + 1) * static_cast<size_t>(h_ + 1), 0);
    for (int y = 0; y < h_; ++y) {
      const uint8_t* row = im.Row(y);
      uint32_t run = 0;
      for (int x = 0; x < w_; ++x) {
        run += (row[x >> 3] >> (7 - (x & 7))) & 1;
        At(x + 1, y + 1) = At(x + 1, y) + run;
      }
    }
  }
  // Black pixels of columns [x0, x1] and rows [y0, y1], clipped to the image.
  int64_t Count(int x0, int y0, int x1, int y1) const {
    x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, w_ - 1), y1 = std::min(y1, h_ - 1);
    if (x0 > x1 || y0 > y1) return 0;
    return int64_t{Get(x1 + 1, y1 + 1)} - Get(x0, y1 + 1) - Get(x1 + 1, y0) + Get(x0, y0);
  }

 private:
  uint32_t& At(int x, int y) { return sums_[static_cast<size_t>(y) * static_cast<size_t>(w_ + 1) + x]; }
  uint32_t Get(int x, int y) const { return sums_[static_cast<size_t>(y) * static_cast<size_t>(w_ + 1) + x]; }
  int w_, h_;
  std::vector<uint32_t> sums_;
};

}  // namespace

int IQACountDenseAreas(int minW, int minH, int maxW, int maxH) {
  const IQAImage& im = Image();
  if (!im.held()) return 0;
  const int width = im.width, height = im.height;
  if (minW < 1) minW = 4;
  if (minH < 1) minH = 4;
  if (maxW > width) maxW = width;
  if (maxH > height) maxH = height;
  // A solid band is found by diagonal steps, which keep the box square; the side moves must be able to
  // start before the box is as wide as a band, so their threshold follows the smaller minimum.
  const int sideStart = std::min(minW, minH) / 2;
  const int stepY = std::max(1, minH / 2), stepX = std::max(1, minW / 2);
  std::optional<BlackSums> sums;
  int count = 0;
  int upper = 64;
  for (int y = 64; y < height - minH - 64; y += stepY) {
    for (int x = 64; x < width - minW - 64;) {
      if (!P(x, y)) {
        x += stepX;
        continue;
      }
      Box b{x, y, x, y};
      bool counted = false;
      while (b.right - b.left < maxW && b.bottom - b.top < maxH) {
        bool diagonal = false;
        if (b.left >= 65 && b.top > upper && P(b.left - 1, b.top - 1)) {
          --b.left, --b.top, diagonal = true;
        } else if (b.right < width - 64 && b.bottom < height - 64 && P(b.right + 1, b.bottom + 1)) {
          ++b.right, ++b.bottom, diagonal = true;
        } else if (b.left >= 65 && b.bottom < height - 64 && P(b.left - 1, b.bottom + 1)) {
          --b.left, ++b.bottom, diagonal = true;
        } else if (b.right < width - 64 && b.top > upper && P(b.right + 1, b.top - 1)) {
          ++b.right, --b.top, diagonal = true;
        }
        if (diagonal) continue;
        const int bw = b.right - b.left, bh = b.bottom - b.top;
        bool moved = false;
        if (bw > sideStart && bh > sideStart && !sums) sums.emplace(im);  // built once a box is large
        // More than half of the (right - left) x (bottom - top) pixels black.
        if (bw > sideStart && bh > sideStart &&
            sums->Count(b.left, b.top, b.right - 1, b.bottom - 1) * 2 > int64_t{bw} * bh) {
          const int64_t rows = b.bottom - b.top + 1, cols = b.right - b.left + 1;
          const Box o = b;
          if (o.left > 64 && sums->Count(o.left - 1, o.top, o.left - 1, o.bottom) >= rows / 2 + 1)
            --b.left, moved = true;
          if (o.right < width - 64 &&
              sums->Count(o.right + 1, o.top, o.right + 1, o.bottom) >= rows / 2 + 1) {
            ++b.right, moved = true;
          }
          if (o.top > upper && sums->Count(o.left, o.top - 1, o.right, o.top - 1) >= cols / 2 + 1)
            --b.top, moved = true;
          if (o.bottom < height - 64 &&
              sums->Count(o.left, o.bottom + 1, o.right, o.bottom + 1) >= cols / 2 + 1) {
            ++b.bottom, moved = true;
          }
        }
        const int nw = b.right - b.left, nh = b.bottom - b.top;
        if (nw >= minW && nw < maxW && nh >= minH && nh < maxH) {
          counted = true;
          break;
        }
        if (!moved) break;
      }
      if (counted) {
        ++count;
        upper = b.bottom;
        y = b.bottom + 1 - stepY;  // the row loop's step brings the scan to the row below the area
        break;
      }
      x = b.right + 1 + minW / 2;
    }
  }
  return count;
}

void SetMicrVerifyFlagsSource(uint32_t (*source)()) {
  gFlagsSource.store(source);
}
uint32_t MicrVerifyFlags() {
  auto source = gFlagsSource.load();
  return source != nullptr ? source() : 0;
}

int VerifyMICRQuality(const char* codeLine, const char* text2, const char* confidence) {
  if (codeLine == nullptr || text2 == nullptr || confidence == nullptr) return 1;
  if (std::strlen(codeLine) < 8) return 1;
  const uint32_t flags = MicrVerifyFlags();
  const auto rejects = std::count(codeLine, codeLine + std::strlen(codeLine), '@');
  if ((flags & 0x1) != 0) {
    LogAt(1, "VerifyMICRQuality - Not Fixed");
    return rejects > 2 ? 1 : 2;
  }
  if (rejects > 0) {
    LogAt(1, "VerifyMICRQuality - Not Fixed");
    return 1;
  }
  if ((flags & 0x10) != 0) {
    LogAt(1, "VerifyMICRQuality - VerifedReviewed");
    return 3;
  }
  int below3 = 0, below2 = 0;
  for (const char* c = confidence; *c != '\0'; ++c) {
    below3 += *c < '3' ? 1 : 0;
    below2 += *c < '2' ? 1 : 0;
  }
  if ((flags & 0x100) != 0) return below3 < 3 ? 10 : 9;
  int grade = 8;
  if (flags & 0x2) --grade;
  if (flags & 0x4) --grade;
  if (flags & 0x8) --grade;
  if (flags & 0x20) grade -= 2;
  grade = std::max(4, grade - (below3 + below2) / 4);
  LogAt(1, "VerifyMICRQuality(%d)", grade);
  return grade;
}

int VerifyEndorsement(int firstRow, int endRow, int charHeight, int minCount) {
  LogAt(1, "VerifyEndorsement");
  const IQAImage& im = Image();
  if (!im.held()) return 0;
  const int L = charHeight + 4;
  const int w = im.width, h = im.height;
  const int lastRow = std::min(endRow, h) - 1;
  int marks = 0;
  for (int x = 50; x < w - 50 && marks < minCount;) {
    int nextX = x + 1;
    for (int y = std::max(firstRow, 0); y <= lastRow && marks < minCount;) {
      if (!P(x, y)) {
        ++y;
        continue;
      }
      Box b{x, y, x, y};
      while (b.right - b.left < L && b.bottom - b.top < L && GrowPass(b, 0, w - 1, 0, h - 1)) {
      }
      const int bw = b.right - b.left, bh = b.bottom - b.top;
      if (bw < L && bh < L && bw >= 3 && bh >= charHeight / 2) ++marks;
      nextX = std::max(nextX, b.right + 1);
      y = b.bottom + 2;
    }
    x = nextX;
  }
  if (marks >= minCount) return marks;
  LogAt(1, "VerifyEndorsement");
  if (minCount <= 0) return 0;
  for (int y = std::max(firstRow, 0); y <= lastRow;) {
    int samples = 0, left = -1, right = -1;
    for (int x = 50; x < w - 50; x += 4) {
      if (!P(x, y)) continue;
      ++samples;
      if (left < 0) left = x;
      right = x;
    }
    if (samples < 16) {
      ++y;
      continue;
    }
    int top = y, bottom = y;
    while (bottom - top < L && bottom + 1 < h && RowHasBlack(bottom + 1, left, right)) ++bottom;
    while (bottom - top < L && top >= 1 && RowHasBlack(top - 1, left, right)) --top;
    const int bh = bottom - top;
    if (bh >= charHeight - 4 && bh <= L) {
      const int estimate = (right - left) / L;
      if (estimate >= minCount) return estimate;
    }
    y = bottom + 1;
  }
  return 0;
}

}  // namespace analysis::iqa
