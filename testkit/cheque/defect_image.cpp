// The defect maker: one geometry predicate decides ground, ink and paper; the image is drawn from it and
// the expected slots follow from it through the quality tests' formulas.
#include "testkit/cheque/defect_image.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zc::testkit {
namespace {

// Skew angle table entry: arc tangent of i / 256 in tenths of a degree, rounded up.
int AngleOf(int index) {
  return static_cast<int>(std::ceil(std::atan(index / 256.0) * 1800.0 / M_PI));
}

// A skewed document leaves 8 rows of ground below its lowest corner, where the skew probes begin.
constexpr int kSkewBase = 8;

class Geometry {
 public:
  explicit Geometry(const DefectSpec& s) : s_(s), rowBytes_((s.width + 7) / 8), w_(rowBytes_ * 8) {
    tan_ = std::tan(s.skewDegrees * M_PI / 180.0);
  }
  int width() const { return w_; }
  int SkewDepth(int x) const { return static_cast<int>(std::floor(tan_ * x)); }
  // Paper missing: the scanner's ground shows.
  bool Ground(int x, int y) const {
    const int h = s_.height;
    if (x >= s_.width) return false;  // the padding of the last byte stays white
    if (s_.skewDegrees > 0 && y >= h - kSkewBase - SkewDepth(x)) return true;
    if (s_.cornerLeg > 0) {
      int dx = x, dy = y;
      if (s_.corner == Corner::kTopRight || s_.corner == Corner::kBottomRight) dx = w_ - 1 - x;
      if (s_.corner == Corner::kBottomLeft || s_.corner == Corner::kBottomRight) dy = h - 1 - y;
      // A torn corner's edge wanders by up to 3 px in a fixed pattern.
      // Steps of 6 px along the edge keep every piece of ground joined to the rest.
      const int jag = s_.tornCorner ? ((std::abs(dx - dy) / 6 + static_cast<int>(s_.seed)) % 5) - 2 : 0;
      if (dx + dy < s_.cornerLeg + jag) return true;
    }
    if (s_.tornEdgeDepth > 0) {
      const int notch = ((x / 23 + static_cast<int>(s_.seed)) * 2654435761u >> 7) % (s_.tornEdgeDepth + 1);
      if (y < notch) return true;
    }
    if (s_.piggybackRows > 0 && y < s_.piggybackRows && !(x >= s_.piggybackLeft && x < s_.piggybackRight))
      return true;
    return false;
  }

 private:
  const DefectSpec& s_;
  int rowBytes_;
  int w_;
  double tan_ = 0;
};

void FillRect(BilevelImage& b, int x0, int y0, int x1, int y1) {
  for (int y = std::max(0, y0); y < std::min(b.height, y1); ++y) {
    for (int x = std::max(0, x0); x < std::min(b.width, x1); ++x) b.set(x, y);
  }
}

// An amount sign 23 x 41 px: an S of 3-px bars and a stroke through the middle.
void DrawDollar(BilevelImage& b, int x, int y) {
  FillRect(b, x + 11, y, x + 13, y + 41);
  FillRect(b, x, y + 4, x + 23, y + 7);
  FillRect(b, x, y + 4, x + 2, y + 22);
  FillRect(b, x, y + 19, x + 23, y + 22);
  FillRect(b, x + 21, y + 19, x + 23, y + 37);
  FillRect(b, x, y + 34, x + 23, y + 37);
}

// Writing above a line: 2-px strokes every 12 px, 25 rows ending 4 rows above the line.
void Scribble(BilevelImage& b, int x0, int x1, int lineRow) {
  for (int x = x0; x + 2 <= x1; x += 12) FillRect(b, x, lineRow - 29, x + 2, lineRow - 4);
}

// The diagonal walk of the corner test on the geometry.
int CornerDepth(const Geometry& g, int h, Corner c) {
  const int w = g.width();
  int k = 8;
  for (;; ++k) {
    int x = k, y = k;
    bool inside = k < w && k < h;
    if (c == Corner::kTopRight) x = w - k - 8, inside = k < w - 8 && k < h;
    if (c == Corner::kBottomLeft) y = h - k - 8, inside = k < w && k < h - 8;
    if (c == Corner::kBottomRight) x = w - k - 8, y = h - k - 8, inside = k < w - 8 && k < h - 8;
    if (!inside || !g.Ground(x, y)) break;
  }
  return k < 9 ? 0 : k;
}

}  // namespace

DefectImage makeDefectImage(const DefectSpec& s) {
  const Geometry g(s);
  const int w = g.width(), h = s.height;
  DefectImage out;
  out.bits = BilevelImage(w, h);
  BilevelImage& b = out.bits;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (g.Ground(x, y)) b.set(x, y);
    }
  }
  // Speckles on a grid inside the document.
  int dots = 0;
  if (s.speckleSize > 0 && s.speckleEvery > 0) {
    for (int y = 40; y + s.speckleSize < h - 40; y += s.speckleEvery) {
      for (int x = 40; x + s.speckleSize < s.width - 40; x += s.speckleEvery) {
        FillRect(b, x, y, x + s.speckleSize, y + s.speckleSize);
        ++dots;
      }
    }
  }
  for (int row : s.streakRows) FillRect(b, 0, row, w, row + 1);
  if (s.inkPercent > 0) {
    // Upright bars, k of every 4 columns black, over rows 100 to h - 100: no solid row, no speckle.
    const int k = std::clamp(s.inkPercent * 4 / 100, 0, 4);
    for (int y = 100; y < h - 100; ++y) {
      for (int x = 0; x < s.width; ++x) {
        if (x % 4 < k) b.set(x, y);
      }
    }
  }
  for (const DefectRect& r : s.blots) FillRect(b, r.x, r.y, r.x + r.width, r.y + r.height);
  for (const DefectRect& r : s.bands) FillRect(b, r.x, r.y, r.x + r.width, r.y + r.height);
  for (int x : s.verticalLines) FillRect(b, x, 20, x + 2, h - 20);
  // Field lines at the personal-cheque places (for 1200 x 550 at 200 dpi).
  struct Line {
    int x1, x2, y;
  };
  const Line date{850, 1100, 110}, payee{100, 760, 230}, lar{100, 1000, 320}, memo{100, 450, 470},
      sign{650, 1150, 470};
  if (s.fieldLines) {
    for (const Line& l : {date, payee, lar, memo, sign}) FillRect(b, l.x1, l.y, l.x2, l.y + 2);
    DrawDollar(b, 840, 189);
    if (s.fieldsWritten) {
      Scribble(b, 910, 1100, date.y);
      Scribble(b, 210, 760, payee.y);
      Scribble(b, 210, 800, lar.y);
      Scribble(b, 210, 450, memo.y);
      Scribble(b, 660, 1100, sign.y);
      Scribble(b, 880, 1060, payee.y);
    }
  }
  // Endorsement marks: 12 x 21 px outlines, 20 px apart, from row 200.
  for (int i = 0; i < s.endorsementMarks; ++i) {
    const int x = 300 + 20 * i, y = 200;
    FillRect(b, x, y, x + 12, y + 2);
    FillRect(b, x, y + 19, x + 12, y + 21);
    FillRect(b, x, y, x + 2, y + 21);
  }

  out.gray.width = w;
  out.gray.height = h;
  out.gray.pixels.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) out.gray.pixels[static_cast<size_t>(y) * w + x] = b.black(x, y) ? 20 : 230;
  }

  // Expectations, through the tests' formulas on the injected geometry.
  auto& e = out.slots;
  const int dpi = s.dpi;
  e[23] = ((w * 10) / dpi) * 256 + (h * 10) / dpi;
  e[24] = dpi;
  // Skew: the bottom edge at the three probes, then the skew rules.
  {
    const int probes[3] = {64, (w / 8 / 2) * 8, (w / 8 - 8) * 8};
    // The first row up from h - 8 whose four probe pixels are not all ground, plus one.
    int E[3];
    for (int i = 0; i < 3; ++i) {
      int r = h - 8;
      auto nibbleGround = [&](int row) {
        return g.Ground(probes[i], row) && g.Ground(probes[i] + 1, row) && g.Ground(probes[i] + 2, row) &&
               g.Ground(probes[i] + 3, row);
      };
      while (r > 64 && nibbleGround(r)) --r;
      E[i] = r > 64 ? r + 1 : -1;
    }
    int skew = 0, index = 0;
    if (!(std::abs(h - E[0]) < 16 && std::abs(h - E[1]) < 16 && std::abs(h - E[2]) < 16)) {
      const int diff = std::abs(E[0] - E[2]);
      index = std::min(255, diff * 256 / (w - 128));
      if (std::abs(h - E[0]) >= 65 && E[0] >= 101)
        skew = h - E[0];
      else if (std::abs(h - E[2]) >= 65 && E[2] >= 101)
        skew = h - E[2];
      else
        skew = diff < 17 ? 0 : diff;
    }
    // Without printed lines nothing overrules it.
    e[3] = skew;
    e[25] = skew >= 16 ? AngleOf(index) : 0;
    if (skew > 16) out.flags |= 0x40;
  }
  int largest = 0;
  for (int c = 0; c < 4; ++c) {
    e[4 + c] = CornerDepth(g, h, static_cast<Corner>(c));
    largest = std::max(largest, e[4 + c]);
  }
  if (largest >= kVerdictCornerLimit) out.flags |= 0x80;
  // Double top edge: the first paper row from row 8 at sixteen probes.
  {
    int d[16];
    int64_t sum = 0;
    for (int i = 0; i < 16; ++i) {
      const int x = i * (w - 128) / 15 + 64;
      int r = 8;
      while (r < h && g.Ground(x, r)) ++r;
      d[i] = r;
      sum += r;
    }
    int off = 0;
    for (int i = 0; i < 16; ++i) off += std::llabs(sum / 16 - d[i]) > 16 ? 1 : 0;
    e[26] = off >= 2 ? 2 : 0;
  }
  const int area =
      s.speckleSize > 0 && s.speckleSize <= kVerdictSpeckleSize ? dots * s.speckleSize * s.speckleSize : 0;
  e[1] = area;
  if (area >= kVerdictSpeckleLimit) out.flags |= 0x2;
  e[8] = 0;
  for (int row : s.streakRows) {
    if (row >= 64 && row <= h - 65 && e[8] == 0) e[8] = row;
  }
  if (e[8] != 0) out.flags |= 0x100;
  // Black share: count what was drawn (geometry and marks alike).
  int64_t black = 0;
  for (uint8_t v : b.rows) black += __builtin_popcount(v);
  e[10] = static_cast<int>(black * 100 / (int64_t{w} * h));
  int blots = 0;
  for (const DefectRect& r : s.blots) blots += (r.width - 1 >= dpi / 2 && r.height - 1 >= dpi / 2) ? 1 : 0;
  if (s.inkPercent == 0) e[18] = blots;
  int bands = 0;
  for (const DefectRect& r : s.bands)
    bands += (r.width - 1 >= 3 * dpi && r.height - 1 >= dpi / 4 && r.height - 1 < dpi) ? 1 : 0;
  if (s.inkPercent == 0) e[19] = bands;
  bool longVertical = false;
  for (int x : s.verticalLines) longVertical |= (h - 41 > h * 9 / 10 && x > 200 && x + 1 < w - 200);
  if (longVertical) e[20] = 0x40;
  if (s.fieldLines) {
    for (int slot = 12; slot <= 17; ++slot) e[slot] = s.fieldsWritten ? 2 : 0;
  }
  if (s.rear) e[27] = s.endorsementMarks >= 8 ? s.endorsementMarks : 0;
  return out;
}

bool defectGround(const DefectSpec& spec, int x, int y) {
  return Geometry(spec).Ground(x, y);
}

int defectSkewShift(const DefectSpec& spec, int x) {
  return spec.skewDegrees > 0 ? Geometry(spec).SkewDepth(x) : 0;
}

GrayImage makeContrastPair(int width, int height, int paper, int ink, bool blur) {
  GrayImage g;
  g.width = width;
  g.height = height;
  g.pixels.assign(static_cast<size_t>(width) * height, static_cast<uint8_t>(paper));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if ((x / 3) % 5 == 0 && (y / 20) % 2 == 0)
        g.pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(ink);
    }
  }
  if (!blur) return g;
  GrayImage out = g;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int sum = 0, n = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int xx = x + dx, yy = y + dy;
          if (xx < 0 || yy < 0 || xx >= width || yy >= height) continue;
          sum += g.pixels[static_cast<size_t>(yy) * width + xx];
          ++n;
        }
      }
      out.pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(sum / n);
    }
  }
  return out;
}

std::vector<uint8_t> grayToPackedDib(const GrayImage& gray) {
  const size_t stride = (static_cast<size_t>(gray.width) + 3) / 4 * 4;
  const size_t palette = 1024;
  std::vector<uint8_t> d(40 + palette + stride * gray.height, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, static_cast<uint32_t>(gray.width));
  put32(8, static_cast<uint32_t>(gray.height));
  d[12] = 1;
  d[14] = 8;
  put32(20, static_cast<uint32_t>(stride * gray.height));
  put32(32, 256);
  for (int i = 0; i < 256; ++i) d[40 + 4 * i] = d[41 + 4 * i] = d[42 + 4 * i] = static_cast<uint8_t>(i);
  for (int y = 0; y < gray.height; ++y) {
    std::memcpy(&d[40 + palette + static_cast<size_t>(gray.height - 1 - y) * stride],
                &gray.pixels[static_cast<size_t>(y) * gray.width], static_cast<size_t>(gray.width));
  }
  return d;
}

}  // namespace zc::testkit
