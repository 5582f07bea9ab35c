// The first series' feed format and its device side of the document feeder.
#include "sim/qv60x_feed_format.h"

#include <algorithm>
#include <cstring>

#include "testkit/micr/sample_format.h"

namespace sim {
namespace {

using documents::ColourMode;
using documents::Side;

// The LEDs of a colour scan, one a plane: red, green, blue.
const std::vector<documents::ChannelLight> kPlaneLights = {{100, 0, 0}, {0, 100, 0}, {0, 0, 100}};

const micrkit::SeriesFormat& FirstSeriesSamples() {
  for (const micrkit::SeriesFormat& f : micrkit::SeriesFormats()) {
    if (std::strcmp(f.series, "QV600, QV605") == 0) return f;
  }
  return micrkit::SeriesFormats().front();
}

bool ColourScan(const documents::SideScan& scan) {
  return scan.lights.size() == kPlaneLights.size() && scan.lights[0].green == 0 && scan.lights[0].blue == 0;
}

int RoundUp64(int v) {
  return (v + 63) / 64 * 64;
}

}  // namespace

std::array<documents::SideScan, 2> Qv60xFeedFormat::Scans(const documents::Document& document,
                                                          ColourMode mode) const {
  const bool qv605 = layout_.qv605;
  const documents::SensorGeometry front{0, kPixels, kPixels, !qv605, 0};
  const documents::SensorGeometry rear{0, kPixels, kPixels, qv605, 0};
  std::array<documents::SideScan, 2> scans = {
      documents::ScanOf(document, Side::kFront, front, ColourMode::kGrey, false, 0),
      documents::ScanOf(document, Side::kRear, rear, ColourMode::kGrey, false, 0)};
  if (mode != ColourMode::kGrey) {
    for (documents::SideScan& s : scans) s.lights = kPlaneLights;
  }
  return scans;
}

std::vector<uint8_t> Qv60xFeedFormat::RawLines(const documents::SideScan& scan,
                                               const documents::TransferRequest& request) const {
  if (!ColourScan(scan)) return documents::RenderRawLines(scan, request);
  // Each line once under each LED, the three runs one after the other.
  std::array<std::vector<uint8_t>, 3> planes;
  for (size_t k = 0; k < planes.size(); ++k) {
    documents::SideScan lit = scan;
    lit.lights = {kPlaneLights[k]};
    planes[k] = documents::RenderRawLines(lit, request);
    if (planes[k].empty() && request.Lines() > 0 && request.Pixels() > 0) return {};
  }
  const auto lines = static_cast<size_t>(std::max(request.Lines(), 0));
  const auto pixels = static_cast<size_t>(std::max(request.Pixels(), 0));
  std::vector<uint8_t> out(3 * lines * pixels);
  for (size_t t = 0; t < lines; ++t) {
    for (size_t k = 0; k < planes.size(); ++k) {
      std::copy_n(planes[k].begin() + static_cast<std::ptrdiff_t>(t * pixels), pixels,
                  out.begin() + static_cast<std::ptrdiff_t>((3 * t + k) * pixels));
    }
  }
  return out;
}

int Qv60xFeedFormat::SampleRate(ColourMode /*mode*/) const {
  return FirstSeriesSamples().rate;
}

std::vector<uint8_t> Qv60xFeedFormat::SampleBytes(const documents::Document& document,
                                                  ColourMode /*mode*/) const {
  return document.MagneticBytes(FirstSeriesSamples(), false);
}

documents::HostAssembly Qv60xFeedFormat::HostAssemblyOf(Side side, ColourMode mode, int dpi) const {
  return documents::HostAssemblyOf(side, mode, dpi, false);
}

documents::ExpectedImage Qv60xFeedFormat::HostImage(const documents::SideScan& scan,
                                                    const documents::TransferRequest& request, Side side,
                                                    ColourMode mode, int dpi) const {
  return HostImageAtDepth(scan, request, side, mode, dpi, 8);
}

documents::ExpectedImage Qv60xFeedFormat::HostImageAtDepth(const documents::SideScan& scan,
                                                           const documents::TransferRequest& request,
                                                           Side side, ColourMode mode, int dpi,
                                                           int depthBits) const {
  documents::ExpectedImage img;
  const bool colour = mode != ColourMode::kGrey;
  const int bits = colour ? 8 : depthBits == 4 ? 4 : 8;
  const bool rear = side == Side::kRear;
  const int step = request.halfSize ? 2 : 1;
  const int width = request.endPixel - request.firstPixel;
  if (width <= 0 || request.endLine <= 0 || (dpi != 100 && dpi != 200)) return img;
  const int valid = width / step;  // pixels the scanner sends a line, before the padding

  // The host's line: its window width at the resolution, in bytes padded to 64.
  const int hostWidth = dpi == 100 ? width / 2 : width;
  const int lineBytes = RoundUp64(hostWidth * bits / 8);
  const int linePixels = lineBytes * 8 / bits;

  // Lines: grey at 200 lines per inch (every second one at 100 dpi, whole pairs at 16 levels on the
  // QV600), colour at 100, each line twice at 200 dpi.
  const int n = request.endLine;
  int lines = colour ? n / 2 : dpi == 100 ? n / 2 : n;
  if (!colour && bits == 4 && !layout_.qv605 && dpi == 200) lines &= ~1;
  const int repeat = colour && dpi == 200 ? 2 : 1;
  const int along = colour ? 2 : step;

  // Rows from the window's first pixel (every pixel of the sensor is lit), to the end of the window.
  const int first = 1;
  const int last = std::min(first + hostWidth - 1, linePixels);
  const int rows = last - first + 1;
  const bool backwards = layout_.qv605 ? rear : !rear;

  img.bitCount = colour ? 24 : bits;
  img.dpi = dpi;
  img.width = lines * repeat;
  img.height = std::max(rows, 0);
  img.pixels.assign(static_cast<size_t>(img.RowBytes()) * static_cast<size_t>(img.height), 0);
  std::array<documents::SideScan, 3> planes;
  for (size_t k = 0; k < planes.size(); ++k) {
    planes[k] = scan;
    planes[k].lights = {kPlaneLights[k]};
  }
  for (int x = 0; x < img.width; ++x) {
    const int column = rear ? img.width - 1 - x : x;
    const int line = column / repeat * along;  // the raw line at 200 per inch
    for (int j = 0; j < img.height; ++j) {
      const int k = backwards ? linePixels - first - j : first - 1 + j;
      uint8_t* row = img.pixels.data() + static_cast<size_t>(j) * static_cast<size_t>(img.RowBytes());
      if (k < 0 || k >= valid) continue;  // the line's padding
      const int s = request.firstPixel + k * step;
      if (colour) {
        row[3 * x + 0] = planes[2].Read(line, s);
        row[3 * x + 1] = planes[1].Read(line, s);
        row[3 * x + 2] = planes[0].Read(line, s);
      } else if (bits == 8) {
        row[x] = scan.Read(line, s);
      } else {
        const auto nibble = static_cast<uint8_t>(scan.Read(line, s) >> 4);
        row[x / 2] = static_cast<uint8_t>(row[x / 2] | (x % 2 == 0 ? nibble << 4 : nibble));
      }
    }
  }
  return img;
}

Qv60xDocumentFeeder::Qv60xDocumentFeeder(documents::DocumentStack stack, Qv60xLayout layout,
                                         FeederOptions options)
    : feeder_(std::move(stack), std::make_shared<Qv60xFeedFormat>(layout), std::move(options)) {}

std::optional<Qv60xFed> Qv60xDocumentFeeder::Feed(bool colour, int bits) {
  const ColourMode mode = colour ? ColourMode::kColour : ColourMode::kGrey;
  const std::optional<DocumentFeeder::Taken> taken = feeder_.Feed(++sequence_, mode, 0, colour ? 8 : bits);
  if (!taken) return std::nullopt;
  Qv60xFed fed;
  fed.jam = taken->faults.jam;
  fed.doubleFeed = taken->faults.doubleFeed;
  fed.unplug = taken->faults.unplugMidDocument;
  fed.lineCount = std::max({taken->documentLines[0], taken->documentLines[1], 0});
  // A jammed or double-fed document sends nothing.
  if (!fed.jam && !fed.doubleFeed) fed.samples = feeder_.Samples(sequence_);
  return fed;
}

std::vector<uint8_t> Qv60xDocumentFeeder::Image(int side, const Qv60xWindow& window) {
  return feeder_.Image(sequence_, side, {0, window.lines, window.start, window.end, window.half});
}

}  // namespace sim
