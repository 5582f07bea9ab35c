// The simulator's rendering pinned byte for byte: faces, magnetic samples, raw scan lines and the
// expected host images of a few cheques (grey and colour, both fonts, 200 and 300 dpi, every colour
// mode, both sensor orders and a window that starts inside the sensor). Tests elsewhere compare what a
// host assembles against these images, so a faster renderer must give exactly the same bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/documents/document.h"
#include "sim/documents/document_scan.h"
#include "sim/documents/expected_image.h"
#include "sim/documents/sensor_scan.h"

namespace sim::documents {
namespace {

struct RenderDigest {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  void Add(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      h ^= p[i];
      h *= 1099511628211ull;
    }
  }
  void Add(const std::vector<uint8_t>& v) { Add(v.data(), v.size()); }
  void Add(int v) {
    const auto u = static_cast<uint32_t>(v);
    const uint8_t b[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
                          static_cast<uint8_t>(u >> 24)};
    Add(b, 4);
  }
};

std::string DigestHex(uint64_t v) {
  char s[17];
  std::snprintf(s, sizeof s, "%016llx", static_cast<unsigned long long>(v));
  return s;
}

struct DigestCase {
  const char* name;
  uint32_t seed;
  bool colour;
  MicrFont font;
  int dpi;
  const char* faces;    // front and rear pixels, code line and magnetic bytes
  const char* scanned;  // raw lines and host images in grey and both colour modes
};

const DigestCase kDigestCases[] = {
    {"grey E13B 200 dpi", 11, false, MicrFont::kE13b, 200, "8bcf435497c75727", "1f3be3ddf83ad56e"},
    {"colour E13B 200 dpi", 12, true, MicrFont::kE13b, 200, "75544a241e07a6a2", "7060bdaebe677148"},
    {"grey CMC-7 300 dpi", 13, false, MicrFont::kCmc7, 300, "dd874b554e2f9f6c", "c98f74db49ceb816"},
    {"colour CMC-7 200 dpi", 14, true, MicrFont::kCmc7, 200, "0f84df4c79d4a382", "550724c095c1525e"},
};

TEST(RenderingDigest, FacesRawLinesAndHostImagesAreUnchanged) {
  for (const DigestCase& c : kDigestCases) {
    SCOPED_TRACE(c.name);
    ChequeOptions options;
    options.colour = c.colour;
    options.font = c.font;
    options.dpi = c.dpi;
    const Document doc = MakeCheque(c.seed, options);

    RenderDigest faces;
    faces.Add(doc.front.rgb);
    faces.Add(doc.rear.rgb);
    faces.Add(std::vector<uint8_t>(doc.codeLine.begin(), doc.codeLine.end()));
    faces.Add(doc.MagneticBytes(48000));
    EXPECT_EQ(DigestHex(faces.h), c.faces);

    RenderDigest scanned;
    const SensorGeometry sensors[] = {{16, 832, 896, false, 0}, {32, 800, 896, true, 5}};
    for (const SensorGeometry& sensor : sensors) {
      for (ColourMode mode : {ColourMode::kGrey, ColourMode::kColour, ColourMode::kColourAltTiming}) {
        for (Side side : {Side::kFront, Side::kRear}) {
          const SideScan scan = ScanOf(doc, side, sensor, mode, false, 3);
          for (bool half : {false, true}) {
            const TransferRequest whole = WholeDocument(scan, half);
            scanned.Add(RenderRawLines(scan, whole));
            const int dpi = half ? 100 : 200;
            const ExpectedImage host = AssembleSide(scan, whole, HostAssemblyOf(side, mode, dpi, false));
            scanned.Add(host.width);
            scanned.Add(host.height);
            scanned.Add(host.pixels);
          }
          // A window inside the sensor and the document.
          TransferRequest window{scan.leadLines + 7, scan.leadLines + 300, 40, 600, false};
          scanned.Add(RenderRawLines(scan, window));
          HostAssembly host = HostAssemblyOf(side, mode, 200, false);
          host.firstGoodPixel = 9;
          const ExpectedImage part = AssembleSide(scan, window, host);
          scanned.Add(part.width);
          scanned.Add(part.height);
          scanned.Add(part.pixels);
        }
      }
    }
    EXPECT_EQ(DigestHex(scanned.h), c.scanned);
  }
}

// The line reader behind raw lines and host images against the sensor's pixel-by-pixel reading, under
// lights the host may send: weighted, dark, equal and single records, on grey and colour faces, with
// lines before and after the document and pixels outside the lit part.
TEST(RenderingDigest, LineReaderMatchesPixelReads) {
  ChequeOptions colour;
  colour.colour = true;
  const Document docs[] = {MakeCheque(21), MakeCheque(22, colour)};
  const std::vector<ChannelLight> lightSets[] = {
      {{30, 60, 10}, {0, 0, 0}, {0, 80, 0}, {40, 40, 40}},
      {{0, 0, 90}, {90, 0, 0}, {0, 90, 0}},
      {{70, 70, 70}},
  };
  for (const Document& doc : docs) {
    for (const auto& lights : lightSets) {
      SideScan scan = ScanOf(doc, Side::kRear, {24, 800, 880, true, 7}, ColourMode::kColour, false, 5);
      scan.lights = lights;
      for (const TransferRequest& r : {TransferRequest{0, scan.DocumentLines() + 12, 0, 896, false},
                                       TransferRequest{3, 401, 20, 700, true}}) {
        const std::vector<uint8_t> raw = RenderRawLines(scan, r);
        ASSERT_EQ(raw.size(), static_cast<size_t>(r.Lines()) * static_cast<size_t>(r.Pixels()));
        const int step = r.halfSize ? 2 : 1;
        size_t mismatches = 0;
        for (int t = 0; t < r.Lines(); ++t) {
          for (int u = 0; u < r.Pixels(); ++u) {
            const uint8_t want = scan.Read(r.firstLine + t * step, r.firstPixel + u * step);
            mismatches += raw[static_cast<size_t>(t) * static_cast<size_t>(r.Pixels()) + static_cast<size_t>(u)] != want;
          }
        }
        EXPECT_EQ(mismatches, 0u) << "lights " << lights.size() << " colour " << doc.cheque->colour;
      }
    }
  }
}

}  // namespace
}  // namespace sim::documents
