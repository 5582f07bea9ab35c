// Faces of a synthetic cheque. The front starts from the test kit's cheque (background, ruled lines,
// amount box, text, handwriting) and replaces its code-line band with a real magnetic code line; the rear
// is drawn here. Drawing works in inches scaled by the resolution, as the test kit does.
#include "sim/documents/cheque_faces.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "testkit/cheque/cheque_image.h"
#include "testkit/micr/codeline_image.h"

namespace sim::documents {
namespace {

constexpr double kBandInches = 0.45;             // cleared band above the bottom edge

struct Rng {
  uint32_t s;
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
};

int Px(double inches, int dpi) {
  return static_cast<int>(std::lround(inches * dpi));
}

// Darkens a pixel towards `ink` by coverage 0..255 (ink over paper, never lighter than before).
void Ink(SideImage& img, int x, int y, Rgb ink, int coverage) {
  if (x < 0 || y < 0 || x >= img.width || y >= img.height || coverage <= 0) return;
  const Rgb p = img.At(x, y);
  const auto mix = [coverage](int paper, int dark) {
    return static_cast<uint8_t>(std::min(paper, paper - (paper - dark) * coverage / 255));
  };
  img.Set(x, y, Rgb{mix(p.r, ink.r), mix(p.g, ink.g), mix(p.b, ink.b)});
}

void FillRect(SideImage& img, int x0, int y0, int x1, int y1, Rgb ink) {
  for (int y = std::max(y0, 0); y < std::min(y1, img.height); ++y) {
    for (int x = std::max(x0, 0); x < std::min(x1, img.width); ++x) Ink(img, x, y, ink, 255);
  }
}

// Blocky marks standing in for handwritten or stamped text: cells of a 5 x 7 grid chosen by the seed.
void DrawMarks(SideImage& img, Rng& rng, int x, int y, int chars, int height, Rgb ink) {
  const int cell = std::max(1, height / 7);
  for (int c = 0; c < chars; ++c, x += cell * 6) {
    const uint32_t bits = rng.Next();
    if (bits % 7 == 0) continue;  // a word gap
    for (int r = 0; r < 7; ++r) {
      for (int k = 0; k < 5; ++k) {
        if (((bits >> ((r * 5 + k) % 31)) & 1) != 0 && ((r + k) % 2 == 0 || k == 0 || r == 6))
          FillRect(img, x + k * cell, y + r * cell, x + (k + 1) * cell, y + (r + 1) * cell, ink);
      }
    }
  }
}

// Paints rows [y0, y1) from column x0 to x1 (exclusive) in `c`: the first row pixel by pixel, the others
// copied from it.
void FillRows(SideImage& img, int y0, int y1, int x0, int x1, Rgb c) {
  y0 = std::max(y0, 0);
  y1 = std::min(y1, img.height);
  x0 = std::max(x0, 0);
  x1 = std::min(x1, img.width);
  if (y0 >= y1 || x0 >= x1) return;
  const size_t stride = static_cast<size_t>(img.width) * 3;
  uint8_t* first = img.rgb.data() + static_cast<size_t>(y0) * stride + static_cast<size_t>(x0) * 3;
  const size_t bytes = static_cast<size_t>(x1 - x0) * 3;
  for (size_t i = 0; i < bytes; i += 3) {
    first[i] = c.r;
    first[i + 1] = c.g;
    first[i + 2] = c.b;
  }
  for (int y = y0 + 1; y < y1; ++y) std::memcpy(first + static_cast<size_t>(y - y0) * stride, first, bytes);
}

SideImage FromGrey(const zc::testkit::GrayImage& g, int dpi) {
  SideImage img(g.width, g.height, dpi);
  const uint8_t* src = g.pixels.data();
  uint8_t* dst = img.rgb.data();
  const size_t n = g.pixels.size();
  // Four bytes a pixel, each store's last byte overwritten by the next pixel's first: one store a pixel.
  for (size_t i = 0; i + 1 < n; ++i) {
    const uint32_t v = src[i] * 0x01010101u;
    std::memcpy(dst + 3 * i, &v, 4);
  }
  if (n > 0) dst[3 * n - 3] = dst[3 * n - 2] = dst[3 * n - 1] = src[n - 1];
  return img;
}

SideImage FromColour(const zc::testkit::RgbImage& c, int dpi) {
  SideImage img(c.width, c.height, dpi);
  img.rgb = c.pixels;
  return img;
}

}  // namespace

SideImage MakeFront(const FaceSpec& spec, const std::string& codeLine, MicrFont font) {
  PrintedLine line;
  line.text = codeLine;
  return MakeFront(spec, line, font);
}

namespace {

PrintMark MarkAt(const PrintedLine& line, size_t i) {
  return i < line.marks.size() ? line.marks[i] : PrintMark::kClean;
}

// A blot over character `i`'s cell and dots over the band, drawn on the printed line.
void DamagePrint(SideImage& img, const PrintedLine& line, const micrkit::LinePlacement& at, int dpi, Rgb ink) {
  const double pitch = micrkit::kLinePitchInches * dpi;
  const double glyph = 0.117 * dpi;
  const int n = static_cast<int>(line.text.size());
  for (int i = 0; i < n; ++i) {
    if (MarkAt(line, static_cast<size_t>(i)) != PrintMark::kSmudge) continue;
    const double right = at.rightEdge - (n - 1 - i) * pitch;
    const double cx = right - pitch * 0.45, cy = at.bottom - glyph * 0.5;
    const double rx = pitch * 0.42, ry = glyph * 0.42;
    for (int y = static_cast<int>(cy - ry); y <= static_cast<int>(cy + ry); ++y) {
      for (int x = static_cast<int>(cx - rx); x <= static_cast<int>(cx + rx); ++x) {
        const double u = (x - cx) / rx, v = (y - cy) / ry;
        if (u * u + v * v <= 1.0) Ink(img, x, y, ink, 230);
      }
    }
  }
  Rng rng{line.seed * 2654435761u + 11u};
  const int span = Px(0.3, dpi);
  for (int k = 0; k < line.speckles; ++k) {
    const int x = static_cast<int>(rng.Next() % static_cast<uint32_t>(std::max(1, img.width)));
    const int y = at.bottom - span + static_cast<int>(rng.Next() % static_cast<uint32_t>(span + Px(0.05, dpi)));
    FillRect(img, x, y, x + 2, y + 2, ink);
  }
}

}  // namespace

SideImage MakeFront(const FaceSpec& spec, const PrintedLine& printed, MicrFont font) {
  std::string codeLine = printed.text;
  for (size_t i = 0; i < codeLine.size(); ++i)
    if (MarkAt(printed, i) == PrintMark::kVoid) codeLine[i] = ' ';
  const zc::testkit::ChequeSpec cs{spec.dpi, spec.widthInches, spec.heightInches, spec.seed};
  SideImage img = spec.colour ? FromColour(zc::testkit::makeChequeColour(cs), spec.dpi)
                              : FromGrey(zc::testkit::makeChequeGray(cs), spec.dpi);
  // Clear band: paper from kBandInches above the bottom edge down to the border.
  const int border = std::max(1, spec.dpi / 100) + 1;
  // The test kit's paper tone, tinted in colour.
  const Rgb paper = spec.colour ? Rgb{218, 232, 236} : Rgb{236, 236, 236};
  FillRows(img, std::max(img.height - Px(kBandInches, spec.dpi), 0), img.height - border, border,
           img.width - border, paper);
  // The test kit's code-line renderer, shared with the test cheques.
  const micrkit::LinePlacement at = micrkit::PlaceLine(img.width, img.height, spec.dpi);
  const Rgb ink = font == MicrFont::kE13b ? Rgb{20, 20, 20} : Rgb{40, 40, 40};
  const micrkit::PlotFn plot = [&img, ink](int x, int y, int coverage) { Ink(img, x, y, ink, coverage); };
  if (font == MicrFont::kE13b) {
    micrkit::DrawE13bLine(codeLine, spec.dpi, at, plot);
  } else {
    micrkit::DrawCmc7Line(codeLine, spec.dpi, at, plot);
  }
  DamagePrint(img, printed, at, spec.dpi, ink);
  return img;
}

SideImage MakeRear(const FaceSpec& spec) {
  const int dpi = spec.dpi;
  SideImage img(Px(spec.widthInches, dpi), Px(spec.heightInches, dpi), dpi);
  Rng rng{spec.seed * 2246822519u + 977u};
  const Rgb paper = spec.colour ? Rgb{226, 232, 238} : Rgb{232, 232, 232};
  FillRows(img, 0, img.height, 0, img.width, paper);
  const Rgb ink = spec.colour ? Rgb{40, 50, 150} : Rgb{50, 50, 50};
  // Endorsement stamp near the trailing end: a frame and three lines of text 21 pixels (at 200 dpi) high.
  const int t = std::max(1, dpi / 100);
  const int x0 = img.width - Px(2.9, dpi);
  const int y0 = Px(0.5, dpi);
  const int x1 = x0 + Px(2.4, dpi);
  const int y1 = y0 + Px(0.9, dpi);
  FillRect(img, x0, y0, x1, y0 + t, ink);
  FillRect(img, x0, y1 - t, x1, y1, ink);
  FillRect(img, x0, y0, x0 + t, y1, ink);
  FillRect(img, x1 - t, y0, x1, y1, ink);
  const int textHeight = dpi * 21 / 200;
  for (int line = 0; line < 3; ++line) {
    DrawMarks(img, rng, x0 + Px(0.1, dpi), y0 + Px(0.08, dpi) + line * (textHeight + Px(0.05, dpi)), 16,
              textHeight, ink);
  }
  // The payee's signature: a wavy stroke under the stamp.
  const double phase = (rng.Next() % 628) / 100.0;
  const int r = std::max(1, dpi / 150);
  for (double u = 0; u < 1.0; u += 0.0005) {
    const double x = x0 + u * Px(2.2, dpi);
    const double y = y1 + Px(0.3, dpi) + 0.08 * dpi * std::sin(u * 31 + phase) * std::cos(u * 7);
    FillRect(img, static_cast<int>(x) - r, static_cast<int>(y) - r, static_cast<int>(x) + r + 1,
             static_cast<int>(y) + r + 1, ink);
  }
  return img;
}

}  // namespace sim::documents
