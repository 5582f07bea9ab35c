// Deterministic synthetic cheque rendering. Everything is drawn in a gray canvas with
// coverage in inches scaled by the resolution, so the three resolutions show the same
// cheque; a light 3 x 3 blur stands in for the scanner's optics.
#include "testkit/cheque/cheque_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace zc::testkit {
namespace {

struct Rng {
  uint32_t s;
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint32_t>(hi - lo + 1)); }
};

struct Canvas {
  GrayImage img;
  void fillRect(int x0, int y0, int x1, int y1, uint8_t v) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, img.width);
    y1 = std::min(y1, img.height);
    for (int y = y0; y < y1; ++y) {
      uint8_t* row = img.pixels.data() + static_cast<size_t>(y) * img.width;
      for (int x = x0; x < x1; ++x) row[x] = std::min(row[x], v);
    }
  }
  void dot(double cx, double cy, double r, uint8_t v) {
    fillRect(static_cast<int>(cx - r), static_cast<int>(cy - r), static_cast<int>(cx + r) + 1,
             static_cast<int>(cy + r) + 1, v);
  }
};

// A glyph of 5 x 7 cells chosen from the character code: text-like ink without a font.
void drawGlyph(Canvas& c, Rng& rng, int x, int y, int cell, uint8_t ink) {
  const uint32_t bits = rng.next();
  for (int r = 0; r < 7; ++r) {
    for (int col = 0; col < 5; ++col) {
      const bool frame = (col == 0 || r == 0 || r == 6) && ((bits >> (r + col)) & 1);
      const bool inner = ((bits >> ((r * 5 + col) % 31)) & 1) && ((r + col) % 2 == 0);
      if (frame || inner)
        c.fillRect(x + col * cell, y + r * cell, x + (col + 1) * cell, y + (r + 1) * cell, ink);
    }
  }
}

void drawText(Canvas& c, Rng& rng, double xIn, double yIn, int chars, double heightIn, int dpi, uint8_t ink) {
  const int cell = std::max(1, static_cast<int>(heightIn * dpi / 7));
  int x = static_cast<int>(xIn * dpi);
  const int y = static_cast<int>(yIn * dpi);
  for (int i = 0; i < chars; ++i) {
    if (rng.next() % 6 == 0) {
      x += cell * 4;  // a word gap
      continue;
    }
    drawGlyph(c, rng, x, y, cell, ink);
    x += cell * 6;
  }
}

// E13B-like code line: blocky characters of 0.117 inch pitch in a band 0.25 inch high.
void drawCodeLine(Canvas& c, Rng& rng, const ChequeSpec& s) {
  const int dpi = s.dpi;
  const int pitch = static_cast<int>(0.117 * dpi);
  const int h = static_cast<int>(0.117 * dpi);
  const int y = static_cast<int>((s.heightInches - 0.3) * dpi);
  const int count = static_cast<int>((s.widthInches - 0.6) / 0.117);
  int x = static_cast<int>(0.3 * dpi);
  for (int i = 0; i < count; ++i, x += pitch) {
    if (rng.next() % 9 == 0) continue;
    const uint32_t bits = rng.next();
    const int bw = std::max(1, pitch / 4);
    for (int k = 0; k < 3; ++k) {
      const int top = y + static_cast<int>((bits >> (k * 4)) % 3) * h / 4;
      const int bottom = y + h - static_cast<int>((bits >> (k * 4 + 2)) % 3) * h / 5;
      c.fillRect(x + k * bw, top, x + k * bw + bw - (k == 1 ? 0 : bw / 3), bottom, 20);
    }
  }
}

void drawStroke(Canvas& c, Rng& rng, const ChequeSpec& s) {
  const double dpi = s.dpi;
  const double x0 = 1.2 * dpi;
  const double y0 = 1.05 * dpi;
  const double len = 2.6 * dpi;
  const double a = 0.09 * dpi;
  const double phase = (rng.next() % 1000) / 100.0;
  const double r = std::max(1.0, dpi / 150.0);
  for (double t = 0; t < 1.0; t += 0.25 / len) {
    const double x = x0 + t * len + a * 0.6 * std::sin(t * 37.0 + phase);
    const double y = y0 + a * std::sin(t * 23.0 + phase) * std::cos(t * 5.0);
    c.dot(x, y, r, 35);
  }
}

// The background's exact test: |sin(fx * scale + b)| < limit, with fx = x * k.
bool SineBelow(int x, double k, double scale, double b, double limit) {
  const double fx = x * k;
  return std::fabs(std::sin(fx * scale + b)) < limit;
}

// Takes `dark` off the pixels of `row` where |sin(x * k * scale + b)| < limit. That holds within
// asin(limit) of a multiple of pi, so the pixels come in short runs whose ends follow from the row's
// phase; a pixel within a hair of an end is decided by the sine itself, so the result is that of the
// sine at every pixel.
void darkenBands(uint8_t* row, int width, double k, double scale, double b, double limit, int dark) {
  constexpr double kPi = 3.14159265358979323846;
  constexpr double kHair = 1e-6;  // pixels; far above the rounding of the phase, far below a pixel
  const double step = k * scale;  // phase per pixel
  const double half = std::asin(limit);
  const double last = (width - 1) * step + b;
  const auto decide = [&](int x, bool inside) {
    if (inside) row[x] = static_cast<uint8_t>(row[x] - dark);
  };
  for (double n = std::ceil((b - half) / kPi); n * kPi - half <= last; n += 1) {
    const double lo = (n * kPi - half - b) / step;  // the run's ends in pixels
    const double hi = (n * kPi + half - b) / step;
    const int x0 = std::max(0, static_cast<int>(std::floor(lo)));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(hi)));
    for (int x = x0; x <= x1; ++x) {
      const double d = std::min(x - lo, hi - x);  // > 0 inside the run, < 0 outside
      if (std::fabs(d) <= kHair) {
        decide(x, SineBelow(x, k, scale, b, limit));
      } else {
        decide(x, d > 0);
      }
    }
  }
}

void drawBackground(Canvas& c, const ChequeSpec& s, Rng& rng) {
  const double k = 200.0 / s.dpi;  // pattern in inches, whatever the resolution
  const double phase = (rng.next() % 628) / 100.0;
  // Two wavy guilloche bands, darkening the paper where
  // |sin(fx * 0.045 + 6 sin(fy * 0.021 + phase))| < 0.08 (by 55) and
  // |sin(fx * 0.031 - 5 cos(fy * 0.027))| < 0.06 (by 40), with fx and fy the pixel's position scaled by k.
  for (int y = 0; y < c.img.height; ++y) {
    uint8_t* row = c.img.pixels.data() + static_cast<size_t>(y) * c.img.width;
    const double fy = y * k;
    std::memset(row, 236, static_cast<size_t>(c.img.width));
    darkenBands(row, c.img.width, k, 0.045, 6.0 * std::sin(fy * 0.021 + phase), 0.08, 55);
    darkenBands(row, c.img.width, k, 0.031, -(5.0 * std::cos(fy * 0.027)), 0.06, 40);
  }
}

// A centre-weighted 3 x 3 mean (the centre counts 8), over the taps inside the image.
uint8_t blurAt(const GrayImage& img, int x, int y) {
  const int w = img.width;
  const int h = img.height;
  int sum = 0;
  int n = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    const int yy = y + dy;
    if (yy < 0 || yy >= h) continue;
    for (int dx = -1; dx <= 1; ++dx) {
      const int xx = x + dx;
      if (xx < 0 || xx >= w) continue;
      // Centre weighted so edges stay crisp.
      const int wgt = (dx == 0 && dy == 0) ? 8 : 1;
      sum += img.pixels[static_cast<size_t>(yy) * w + xx] * wgt;
      n += wgt;
    }
  }
  return static_cast<uint8_t>(sum / n);
}

void blur3(GrayImage& img) {
  std::vector<uint8_t> out(img.pixels.size());
  const int w = img.width;
  const int h = img.height;
  for (int y = 0; y < h; ++y) {
    uint8_t* dst = out.data() + static_cast<size_t>(y) * w;
    if (y == 0 || y + 1 == h || w < 3) {
      for (int x = 0; x < w; ++x) dst[x] = blurAt(img, x, y);
      continue;
    }
    dst[0] = blurAt(img, 0, y);
    dst[w - 1] = blurAt(img, w - 1, y);
    // Away from the edges all nine taps are there: weight 16 in all.
    const uint8_t* up = img.pixels.data() + static_cast<size_t>(y - 1) * w;
    const uint8_t* mid = up + w;
    const uint8_t* down = mid + w;
    for (int x = 1; x + 1 < w; ++x) {
      const int sum = up[x - 1] + up[x] + up[x + 1] + mid[x - 1] + mid[x] * 8 + mid[x + 1] + down[x - 1] + down[x] +
                      down[x + 1];
      dst[x] = static_cast<uint8_t>(sum >> 4);
    }
  }
  img.pixels.swap(out);
}

}  // namespace

GrayImage makeChequeGray(const ChequeSpec& params) {
  Canvas c;
  c.img.width = std::max(1, static_cast<int>(std::lround(params.widthInches * params.dpi)));
  c.img.height = std::max(1, static_cast<int>(std::lround(params.heightInches * params.dpi)));
  c.img.pixels.assign(static_cast<size_t>(c.img.width) * c.img.height, 255);
  Rng rng{params.seed * 2654435761u + 12345u};
  const int dpi = params.dpi;
  drawBackground(c, params, rng);
  // Border and ruled lines: date, payee, amount box, words line, signature line.
  const int t = std::max(1, dpi / 100);
  c.fillRect(0, 0, c.img.width, t, 60);
  c.fillRect(0, c.img.height - t, c.img.width, c.img.height, 60);
  c.fillRect(0, 0, t, c.img.height, 60);
  c.fillRect(c.img.width - t, 0, c.img.width, c.img.height, 60);
  const auto line = [&](double x0, double y, double x1) {
    c.fillRect(static_cast<int>(x0 * dpi), static_cast<int>(y * dpi), static_cast<int>(x1 * dpi),
               static_cast<int>(y * dpi) + t, 50);
  };
  line(params.widthInches - 2.0, 0.55, params.widthInches - 0.3);
  line(0.9, 1.15, params.widthInches - 1.8);
  line(0.3, 1.55, params.widthInches - 0.9);
  line(params.widthInches - 2.6, params.heightInches - 0.55, params.widthInches - 0.3);
  const int bx = static_cast<int>((params.widthInches - 1.6) * dpi);
  const int by = static_cast<int>(0.9 * dpi);
  c.fillRect(bx, by, bx + static_cast<int>(1.3 * dpi), by + t, 50);
  c.fillRect(bx, by + static_cast<int>(0.3 * dpi), bx + static_cast<int>(1.3 * dpi),
             by + static_cast<int>(0.3 * dpi) + t, 50);
  c.fillRect(bx, by, bx + t, by + static_cast<int>(0.3 * dpi), 50);
  // Text blocks: drawer's name and address, bank name, cheque number, payee caption.
  drawText(c, rng, 0.3, 0.2, 18, 0.09, dpi, 30);
  drawText(c, rng, 0.3, 0.34, 24, 0.07, dpi, 40);
  drawText(c, rng, params.widthInches / 2 - 0.8, 0.2, 14, 0.1, dpi, 30);
  drawText(c, rng, params.widthInches - 0.9, 0.2, 4, 0.09, dpi, 30);
  drawText(c, rng, 0.3, 1.02, 8, 0.06, dpi, 60);
  drawText(c, rng, bx / static_cast<double>(dpi) + 0.1, 0.98, 7, 0.11, dpi, 25);
  drawStroke(c, rng, params);
  drawCodeLine(c, rng, params);
  blur3(c.img);
  return c.img;
}

RgbImage makeChequeColour(const ChequeSpec& params) {
  const GrayImage g = makeChequeGray(params);
  RgbImage out;
  out.width = g.width;
  out.height = g.height;
  out.pixels.resize(g.pixels.size() * 3);
  for (size_t i = 0; i < g.pixels.size(); ++i) {
    const int v = g.pixels[i];
    // A pale blue-green security tint on light areas; ink stays neutral.
    out.pixels[3 * i] = static_cast<uint8_t>(v > 200 ? v - 18 : v);
    out.pixels[3 * i + 1] = static_cast<uint8_t>(v > 200 ? v - 4 : v);
    out.pixels[3 * i + 2] = static_cast<uint8_t>(v);
  }
  return out;
}

BilevelImage thresholdImage(const GrayImage& gray, int level) {
  BilevelImage out(gray.width, gray.height);
  for (int y = 0; y < gray.height; ++y) {
    const uint8_t* row = gray.pixels.data() + static_cast<size_t>(y) * gray.width;
    for (int x = 0; x < gray.width; ++x) {
      if (row[x] <= level) out.set(x, y);
    }
  }
  return out;
}

BilevelImage ditherImage(const GrayImage& gray) {
  BilevelImage out(gray.width, gray.height);
  const int w = gray.width;
  std::vector<int> cur(static_cast<size_t>(w) + 2, 0);
  std::vector<int> next(static_cast<size_t>(w) + 2, 0);
  for (int y = 0; y < gray.height; ++y) {
    std::fill(next.begin(), next.end(), 0);
    const uint8_t* row = gray.pixels.data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      // Dither a darkened copy so the background itself breaks into dots.
      const int v = row[x] * 3 / 5 + cur[x + 1] / 16;
      const int q = v < 128 ? 0 : 255;
      if (q == 0) out.set(x, y);
      const int e = v - q;
      cur[x + 2] += e * 7;
      next[x] += e * 3;
      next[x + 1] += e * 5;
      next[x + 2] += e;
    }
    cur.swap(next);
  }
  return out;
}

BilevelImage makePattern(BilevelPattern pattern, int width, int height, uint32_t seed) {
  BilevelImage out(width, height);
  Rng rng{seed | 1u};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      bool on = false;
      switch (pattern) {
        case BilevelPattern::kWhite:
          break;
        case BilevelPattern::kBlack:
          on = true;
          break;
        case BilevelPattern::kAlternating:
          on = (x & 1) != 0;
          break;
        case BilevelPattern::kChecker:
          on = ((x ^ y) & 1) != 0;
          break;
        case BilevelPattern::kRandom:
          on = (rng.next() & 0x100) != 0;
          break;
      }
      if (on) out.set(x, y);
    }
  }
  return out;
}

std::vector<uint8_t> packedGrayDib(const GrayImage& gray) {
  const size_t stride = (static_cast<size_t>(gray.width) + 3) & ~size_t{3};
  std::vector<uint8_t> dib(40 + 1024 + stride * static_cast<size_t>(gray.height), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, static_cast<uint32_t>(gray.width));
  put32(8, static_cast<uint32_t>(gray.height));
  dib[12] = 1;  // planes
  dib[14] = 8;  // bits per pixel
  for (int i = 0; i < 256; ++i) std::memset(dib.data() + 40 + 4 * i, i, 3);
  for (int y = 0; y < gray.height; ++y) {
    std::memcpy(dib.data() + 40 + 1024 + stride * static_cast<size_t>(gray.height - 1 - y),
                gray.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(gray.width),
                static_cast<size_t>(gray.width));
  }
  return dib;
}

}  // namespace zc::testkit
