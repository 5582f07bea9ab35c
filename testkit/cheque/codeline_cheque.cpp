// Code-line fronts and their defects.
#include "testkit/cheque/codeline_cheque.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "testkit/micr/codeline_image.h"

namespace zc::testkit {
namespace {

constexpr double kBandInches = 0.45;  // cleared above the bottom edge
constexpr uint8_t kPaper = 236;

int Px(double inches, int dpi) { return static_cast<int>(std::lround(inches * dpi)); }

uint8_t& At(GrayImage& g, int x, int y) {
  return g.pixels[static_cast<size_t>(y) * static_cast<size_t>(g.width) + static_cast<size_t>(x)];
}

void Darken(GrayImage& g, int x, int y, int ink, int coverage) {
  if (x < 0 || y < 0 || x >= g.width || y >= g.height || coverage <= 0) return;
  uint8_t& p = At(g, x, y);
  const int v = p - (p - ink) * std::min(coverage, 255) / 255;
  p = static_cast<uint8_t>(std::min<int>(p, v));
}

void FillGray(GrayImage& g, int x0, int y0, int x1, int y1, int level) {
  for (int y = std::max(y0, 0); y < std::min(y1, g.height); ++y) {
    for (int x = std::max(x0, 0); x < std::min(x1, g.width); ++x) At(g, x, y) = static_cast<uint8_t>(level);
  }
}

int BandTop(const GrayImage& g, int dpi) { return g.height - Px(kBandInches, dpi); }

// A 1-2-1 blur in both directions (about a Gaussian of sigma 0.7 pixel) per pass.
void BoxBlur(GrayImage& g, int y0, int passes) {
  std::vector<uint8_t> copy;
  constexpr int k[3] = {1, 2, 1};
  for (int p = 0; p < passes; ++p) {
    copy = g.pixels;
    for (int y = std::max(y0, 1); y < g.height - 1; ++y) {
      for (int x = 1; x < g.width - 1; ++x) {
        int s = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) s += k[dy + 1] * k[dx + 1] * copy[static_cast<size_t>(y + dy) * g.width + (x + dx)];
        }
        At(g, x, y) = static_cast<uint8_t>(s / 16);
      }
    }
  }
}

// A '$' and a signature stroke above the line's left part.
void DrawMarks(GrayImage& g, int dpi, int lineTop, std::mt19937& rng) {
  const double s = dpi / 200.0;
  const int x0 = g.width / 3 + static_cast<int>(rng() % 40);
  const int y0 = lineTop - Px(0.16, dpi);
  const int r = std::max(1, dpi / 150);
  auto dot = [&](double x, double y) { FillGray(g, int(x) - r, int(y) - r, int(x) + r, int(y) + r, 30); };
  for (double t = 0; t < 1; t += 0.01) {  // the S of the '$'
    const double a = t * 2 * M_PI * 1.5;
    dot(x0 + 6 * s * std::cos(a + M_PI / 2), y0 + 12 * s * (t - 0.5) * 2 + 3 * s * std::sin(a));
  }
  for (int y = -16; y <= 16; ++y) dot(x0, y0 + y * s);
  const double phase = (rng() % 628) / 100.0;
  for (double u = 0; u < 1; u += 0.001) {
    const double x = g.width * 0.55 + u * 1.8 * dpi;
    const double y = lineTop - Px(0.12, dpi) + 0.05 * dpi * std::sin(u * 29 + phase);
    dot(x, y);
  }
}

void ApplyBilevelDefects(BilevelImage& b, int y0, const LineDefects& d, std::mt19937& rng) {
  auto ink = [&](int x, int y) { return x >= 0 && y >= 0 && x < b.width && y < b.height && b.black(x, y); };
  auto put = [&](int x, int y, bool on) {
    if (x < 0 || y < 0 || x >= b.width || y >= b.height) return;
    uint8_t& byte = b.row(y)[x >> 3];
    const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
    byte = on ? (byte | bit) : (byte & ~bit);
  };
  const BilevelImage before = b;
  auto was = [&](int x, int y) { return x >= 0 && y >= 0 && x < b.width && y < b.height && before.black(x, y); };
  if (d.stroke != 0 || d.jitter > 0) {
    std::uniform_real_distribution<double> u(0, 1);
    for (int y = y0; y < b.height; ++y) {
      for (int x = 0; x < b.width; ++x) {
        bool v = was(x, y);
        if (d.stroke > 0) v = v || was(x - 1, y) || was(x, y - 1);
        if (d.stroke < 0) v = v && was(x - 1, y) && was(x, y - 1);
        const bool edge = was(x, y) != was(x + 1, y) || was(x, y) != was(x, y + 1) || was(x, y) != was(x - 1, y) ||
                          was(x, y) != was(x, y - 1);
        if (d.jitter > 0 && edge && u(rng) < d.jitter) v = !v;
        put(x, y, v);
      }
    }
  }
  std::uniform_int_distribution<int> xs(0, std::max(0, b.width - 1)), ys(y0, std::max(y0, b.height - 1));
  for (int i = 0, tries = 0; i < d.voids && tries < 100000; ++tries) {
    const int x = xs(rng), y = ys(rng);
    if (!ink(x, y)) continue;
    put(x, y, false), put(x + 1, y, false), put(x, y + 1, false), put(x + 1, y + 1, false);
    ++i;
  }
  for (int i = 0; i < d.speckles; ++i) {
    const int x = xs(rng), y = ys(rng);
    put(x, y, true);
    if (rng() % 3 == 0) put(x + 1, y, true);
  }
}

}  // namespace

GrayImage MakeCodeLineGray(const ChequeSpec& spec, std::string_view line, LineFont font, const LineDefects& d) {
  GrayImage g = makeChequeGray(spec);
  const int dpi = spec.dpi;
  const int border = std::max(1, dpi / 100) + 1;
  const int bandTop = BandTop(g, dpi);
  FillGray(g, border, bandTop, g.width - border, g.height - border, kPaper);
  std::mt19937 rng(d.seed);
  if (d.backgroundLevel > 0) {
    for (int y = bandTop; y < g.height - border; ++y) {
      for (int x = border; x < g.width - border; ++x) {
        const double wave = std::sin(x * 0.07 + std::sin(y * 0.05) * 3) * std::cos(y * 0.11);
        At(g, x, y) = static_cast<uint8_t>(std::clamp<int>(d.backgroundLevel + int(wave * 20) + 20, 0, 255));
      }
    }
  }
  std::string printed(line);
  if (d.missingAt >= 0 && d.missingAt < static_cast<int>(printed.size())) printed[static_cast<size_t>(d.missingAt)] = ' ';
  micrkit::LinePlacement at = micrkit::PlaceLine(g.width, g.height, dpi);
  at.bottom += d.offsetRows;
  const int ink = d.inkLevel >= 0 ? d.inkLevel : (font == LineFont::kE13b ? 20 : 40);
  const double sinA = std::sin(d.rotationDegrees * M_PI / 180), cosA = std::cos(d.rotationDegrees * M_PI / 180);
  const double cx = g.width / 2.0, cy = at.bottom;
  const micrkit::PlotFn plot = [&](int x, int y, int coverage) {
    if (d.rotationDegrees == 0) return Darken(g, x, y, ink, coverage);
    const double rx = cx + (x - cx) * cosA - (y - cy) * sinA;
    const double ry = cy + (x - cx) * sinA + (y - cy) * cosA;
    Darken(g, static_cast<int>(std::lround(rx)), static_cast<int>(std::lround(ry)), ink, coverage);
  };
  if (font == LineFont::kE13b) micrkit::DrawE13bLine(printed, dpi, at, plot);
  else micrkit::DrawCmc7Line(printed, dpi, at, plot);

  const double pitch = micrkit::kLinePitchInches * dpi;
  const int n = static_cast<int>(printed.size());
  auto cellRight = [&](int i) { return at.rightEdge - static_cast<int>(std::lround((n - 1 - i) * pitch)); };
  const int glyphRows = font == LineFont::kE13b ? Px(0.117, dpi) : Px(0.12, dpi);
  const int mid = at.bottom - glyphRows / 2;
  if (d.mergedAt >= 0 && d.mergedAt + 1 < n) {
    const int x0 = cellRight(d.mergedAt) - Px(0.02, dpi);
    const int x1 = cellRight(d.mergedAt + 1) - static_cast<int>(pitch * 0.6);
    FillGray(g, x0, mid - std::max(1, dpi / 100), x1, mid + std::max(1, dpi / 100), ink);
  }
  if (d.brokenAt >= 0 && d.brokenAt < n) {
    const int right = cellRight(d.brokenAt);
    FillGray(g, right - static_cast<int>(pitch), mid - std::max(1, dpi / 150), right,
             mid + std::max(1, dpi / 150), kPaper);
  }
  if (d.dollarAndSignature) DrawMarks(g, dpi, at.bottom - glyphRows, rng);
  if (d.blur > 0) BoxBlur(g, bandTop, d.blur);
  if (d.noiseSigma > 0) {
    std::normal_distribution<double> noise(0, d.noiseSigma);
    for (int y = bandTop; y < g.height; ++y) {
      for (int x = 0; x < g.width; ++x) At(g, x, y) = static_cast<uint8_t>(std::clamp<int>(At(g, x, y) + int(noise(rng)), 0, 255));
    }
  }
  return g;
}

BilevelImage MakeCodeLineBilevel(const ChequeSpec& spec, std::string_view line, const LineDefects& d) {
  const GrayImage g = MakeCodeLineGray(spec, line, LineFont::kE13b, d);
  BilevelImage b = thresholdImage(g, 128);
  std::mt19937 rng(d.seed * 7919u + 1);
  ApplyBilevelDefects(b, BandTop(g, spec.dpi), d, rng);
  return b;
}

namespace {
std::vector<uint8_t> Record(int w, int h, int bits, int dpi, const uint8_t* rows, size_t bytes) {
  std::vector<uint8_t> r(8 + bytes);
  const int16_t head[4] = {static_cast<int16_t>(w), static_cast<int16_t>(h), static_cast<int16_t>(bits),
                           static_cast<int16_t>(dpi)};
  for (int i = 0; i < 4; ++i) {
    r[2 * i] = static_cast<uint8_t>(head[i] & 0xFF);
    r[2 * i + 1] = static_cast<uint8_t>((head[i] >> 8) & 0xFF);
  }
  if (bytes > 0) std::memcpy(r.data() + 8, rows, bytes);
  return r;
}
}  // namespace

std::vector<uint8_t> BilevelRecord(const BilevelImage& image, int dpi) {
  return Record(image.width, image.height, 1, dpi, image.rows.data(), image.rows.size());
}

std::vector<uint8_t> GrayRecord(const GrayImage& image, int dpi) {
  return Record(image.width, image.height, 8, dpi, image.pixels.data(), image.pixels.size());
}

BilevelImage Rotate180(const BilevelImage& image) {
  BilevelImage out(image.width, image.height);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image.black(x, y)) out.set(image.width - 1 - x, image.height - 1 - y);
    }
  }
  return out;
}

}  // namespace zc::testkit
