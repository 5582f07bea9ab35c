// End to end on the image path: the raw lines the simulated scanner sends, assembled by the device
// library's scan-line loader with the documented output formats (front 2, rear 1026, plus 2048 for a
// top-down sensor; swapped on a mirrored-sides model), the colour expansion of the later series and the
// device library's cropping of both sides to the larger length, must equal the expected images; and the
// expected grey images must be the cheque's faces themselves, upright.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "qv6/image/image_cropping.h"
#include "qv6/image/scan_lines.h"
#include "sim/documents/document.h"
#include "sim/documents/document_scan.h"
#include "sim/documents/expected_image.h"

namespace sim::documents {
namespace {

struct SideSetup {
  SideScan scan;
  HostAssembly host;
};

// The two sides as a QV63x with its default image modules scans them: front bottom-up from pixel 16,
// rear top-down from pixel 32, 832 good pixels of 896; each side with its own lead-in lines.
std::array<SideSetup, 2> Sides(const Document& d, ColourMode mode, int dpi, bool mirrored) {
  const SensorGeometry front{16, 832, 896, false, 0};
  const SensorGeometry rear{32, 832, 896, true, 0};
  return {SideSetup{ScanOf(d, Side::kFront, front, mode, mirrored, 5),
                    HostAssemblyOf(Side::kFront, mode, dpi, mirrored)},
          SideSetup{ScanOf(d, Side::kRear, rear, mode, mirrored, 12),
                    HostAssemblyOf(Side::kRear, mode, dpi, mirrored)}};
}

// The host's colour expansion: 24-bit lines of three planes of `width` bytes each (every second byte at
// 100 dpi).
std::vector<uint8_t> ExpandColour(const std::vector<uint8_t>& raw, int lines, int pixels, ColourMode mode,
                                  bool half, int* outLines, int* outPixels) {
  const int w = half ? pixels / 2 : pixels;
  std::vector<std::array<int, 3>> planes;
  if (mode == ColourMode::kColour) {
    for (int q = 0; q < (lines - 1) / 4; ++q) {
      const int b = 4 * q;
      for (int r = 0; r < (half ? 1 : 2); ++r) planes.push_back({b, b + 1, b + 2});
      for (int r = 0; r < (half ? 1 : 2); ++r) planes.push_back({b + 4, b + 3, b + 2});
    }
  } else {
    for (int q = 0; q < (lines - 2) / 3; ++q) {
      for (int r = 0; r < (half ? 1 : 2); ++r) planes.push_back({3 * q, 3 * q + 1, 3 * q + 2});
    }
  }
  std::vector<uint8_t> out(planes.size() * 3 * static_cast<size_t>(w));
  uint8_t* dst = out.data();
  for (const auto& p : planes) {
    for (const int t : p) {
      const uint8_t* src = raw.data() + static_cast<size_t>(t) * static_cast<size_t>(pixels);
      for (int u = 0; u < w; ++u) *dst++ = src[half ? 2 * u : u];
    }
  }
  *outLines = static_cast<int>(planes.size());
  *outPixels = w;
  return out;
}

// Raw lines of one side through the device library's loader. The window keeps the good pixels, handed
// over in transferred pixels and counted from the far end for a top-down sensor.
void Assemble(const SideSetup& side, const TransferRequest& req, ColourMode mode, int dpi,
              qv6::CLoadScanLines& loader, std::vector<uint8_t>& buffer) {
  std::vector<uint8_t> raw = RenderRawLines(side.scan, req);
  ASSERT_FALSE(raw.empty());
  const bool half = dpi == 100;
  int lines = req.Lines();
  int pixels = req.Pixels();
  if (mode == ColourMode::kGrey) {
    buffer = std::move(raw);
  } else {
    buffer = ExpandColour(raw, lines, pixels, mode, half, &lines, &pixels);
  }
  const SensorGeometry& g = side.scan.sensor;
  const int step = half ? 2 : 1;
  // Transferred index (from 0) of the window's first good pixel (the one nearest the track at or above
  // side.host.firstGoodPixel), and the kept pixel count.
  int nearest = -1;
  int count = 0;
  for (int u = 0; u < pixels; ++u) {
    const int good = side.scan.GoodPixelOf(req.firstPixel + u * step);
    if (good < side.host.firstGoodPixel) continue;
    ++count;
    if (nearest < 0 || good < side.scan.GoodPixelOf(req.firstPixel + nearest * step)) nearest = u;
  }
  if (side.host.rows > 0) count = std::min(count, side.host.rows);
  const int first = g.topDown ? pixels - nearest : nearest + 1;
  loader.SetFormatFlags(2 | (side.host.reverseColumns ? qv6::kFlagReverseLines : 0) |
                        (g.topDown ? qv6::kFlagReversePixels : 0));
  loader.SetPixelsPerLine(pixels);
  loader.SetBitsPerPixel(mode == ColourMode::kGrey ? 8 : 24);
  loader.SetResolution(dpi);
  loader.SetBytesPerRawLine(mode == ColourMode::kGrey ? pixels : 3 * pixels);
  loader.SetNumberOfLines(lines);
  loader.SetLineBuffer(buffer.data(), buffer.size());
  loader.SetScanType(mode == ColourMode::kGrey ? 2 : 3);
  loader.SetCalibratedPixels(pixels);
  // Calibration at its defaults (white 255, black 0): the tables are the identity.
  ASSERT_EQ(loader.BuildLookupTables(mode == ColourMode::kGrey ? 0 : 1, 33, 34, 33), 1);
  ASSERT_EQ(loader.ApplyLookupTables(g.topDown, 0, 0, pixels - 1, 0), 1);
  ASSERT_EQ(loader.BuildImage(1, first, first + count - 1), 1);
}

void ExpectSame(const qv6::CDib& dib, const ExpectedImage& want) {
  ASSERT_EQ(dib.GetWidth(), want.width);
  ASSERT_EQ(dib.GetHeight(), want.height);
  ASSERT_EQ(dib.GetBitCount(), want.bitCount);
  for (int j = 0; j < want.height; ++j) {
    const uint8_t* got = dib.GetBits() + static_cast<size_t>(j) * static_cast<size_t>(dib.GetBytesPerLine());
    ASSERT_TRUE(std::equal(want.Row(j), want.Row(j) + want.RowBytes(), got)) << "row " << j;
  }
}

struct Case {
  const char* name;
  ColourMode mode;
  int dpi;
  bool mirrored;
  bool colourCheque;
  int firstGood = 0;  // a crop window across the transport (0, 0: every good pixel)
  int rows = 0;
};

class LoaderRoundTrip : public testing::TestWithParam<Case> {};

TEST_P(LoaderRoundTrip, DeviceLibraryBuildsTheExpectedImagesOfBothSides) {
  const Case c = GetParam();
  ChequeOptions opt;
  opt.colour = c.colourCheque;
  const Document d = MakeCheque(77, opt);
  std::array<SideSetup, 2> sides = Sides(d, c.mode, c.dpi, c.mirrored);
  for (SideSetup& side : sides) {
    side.host.firstGoodPixel = c.firstGood;
    side.host.rows = c.rows;
  }
  const bool halfTransfer = c.mode == ColourMode::kGrey && c.dpi == 100;

  std::array<qv6::CLoadScanLines, 2> loaders;
  std::array<std::vector<uint8_t>, 2> buffers;
  std::array<ExpectedImage, 2> expected;
  for (size_t s = 0; s < 2; ++s) {
    const TransferRequest req = WholeDocument(sides[s].scan, halfTransfer);
    Assemble(sides[s], req, c.mode, c.dpi, loaders[s], buffers[s]);
    if (HasFatalFailure()) return;
    expected[s] = AssembleSide(sides[s].scan, req, sides[s].host);
    ExpectSame(loaders[s], expected[s]);  // before cropping
  }
  qv6::CImageCropping frontFinder, rearFinder;
  ASSERT_EQ(qv6::CropBothSides(frontFinder, loaders[0], c.dpi, rearFinder, loaders[1], c.dpi), 1);
  CutBothToLarger(expected[0], expected[1]);
  EXPECT_LT(expected[0].height, (c.dpi == 100 ? 416 : 832));
  ExpectSame(loaders[0], expected[0]);
  ExpectSame(loaders[1], expected[1]);
}

INSTANTIATE_TEST_SUITE_P(
    ColourModesAndResolutions, LoaderRoundTrip,
    testing::Values(Case{"grey200", ColourMode::kGrey, 200, false, false},
                    Case{"grey100", ColourMode::kGrey, 100, false, false},
                    Case{"grey200mirrored", ColourMode::kGrey, 200, true, false},
                    Case{"colour1at200", ColourMode::kColour, 200, false, true},
                    Case{"colour1at100", ColourMode::kColour, 100, false, true},
                    Case{"colour2at200", ColourMode::kColourAltTiming, 200, false, true},
                    Case{"grey200window", ColourMode::kGrey, 200, false, false, 20, 700},
                    Case{"grey100window", ColourMode::kGrey, 100, false, false, 21, 300},
                    Case{"colour1at200window", ColourMode::kColour, 200, true, true, 6, 600},
                    Case{"colour2at100mirrored", ColourMode::kColourAltTiming, 100, true, true}),
    [](const testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

// Independent of the sensor model: at 200 dpi in grey the expected image is each face itself, upright
// (row 0 stored first is the bottom row), columns in reading order, whatever the sensor's pixel order,
// the side or the transport direction; above the document lies the dark track.
TEST(HostAssemblyGeometry, GreyImagesAreTheFacesUpright) {
  const Document d = MakeCheque(5);
  for (const bool mirrored : {false, true}) {
    const std::array<SideSetup, 2> sides = Sides(d, ColourMode::kGrey, 200, mirrored);
    for (size_t s = 0; s < 2; ++s) {
      const ExpectedImage img =
          AssembleSide(sides[s].scan, WholeDocument(sides[s].scan, false), sides[s].host);
      const SideImage& face = s == 0 ? d.front : d.rear;
      ASSERT_EQ(img.width, face.width);
      ASSERT_EQ(img.height, 832);
      for (int j = 0; j < img.height; j += 3) {
        for (int x = 0; x < img.width; x += 5) {
          const int want = j < face.height ? face.At(x, face.height - 1 - j).r : kBackground;
          ASSERT_EQ(img.Row(j)[x], want)
              << "side " << s << " mirrored " << mirrored << " x " << x << " j " << j;
        }
      }
    }
  }
}

// With the LEDs cycled red, green, blue the colour expansion gives each face's own colours where the
// face does not change along the document (horizontal stripes).
TEST(HostAssemblyGeometry, ColourExpansionKeepsColoursUnderRedGreenBlueLighting) {
  SideImage stripes(400, 120, 200);
  for (int y = 0; y < stripes.height; ++y) {
    for (int x = 0; x < stripes.width; ++x) {
      stripes.Set(x, y,
                  Rgb{static_cast<uint8_t>(90 + y), static_cast<uint8_t>(200 - y),
                      static_cast<uint8_t>(70 + y % 13)});
    }
  }
  const ChannelLight r{100, 0, 0}, g{0, 100, 0}, b{0, 0, 100};
  struct Timing {
    ColourMode mode;
    int lpi;
    std::vector<ChannelLight> lights;
  };
  for (const Timing& t : {Timing{ColourMode::kColour, 200, {r, g, b, g}},
                          Timing{ColourMode::kColourAltTiming, 300, {r, g, b}}}) {
    for (const int dpi : {200, 100}) {
      SideScan scan;
      scan.image = &stripes;
      scan.linesPerInch = t.lpi;
      scan.lights = t.lights;
      HostAssembly host;
      host.mode = t.mode;
      host.dpi = dpi;
      const ExpectedImage img = AssembleSide(scan, WholeDocument(scan, false), host);
      const int step = dpi == 100 ? 2 : 1;
      for (int j = 0; j * step < stripes.height; ++j) {
        const Rgb want = stripes.At(0, stripes.height - 1 - j * step);
        for (int x = 0; x < img.width; x += 7) {
          const uint8_t* p = img.Row(j) + 3 * x;
          ASSERT_EQ(p[2], want.r);
          ASSERT_EQ(p[1], want.g);
          ASSERT_EQ(p[0], want.b);
        }
      }
    }
  }
}

}  // namespace
}  // namespace sim::documents
