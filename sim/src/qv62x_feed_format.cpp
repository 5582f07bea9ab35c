// The QV62x feed format.
#include "sim/qv62x_feed_format.h"

#include <cstring>

#include "testkit/micr/sample_format.h"

namespace sim {
namespace {

using documents::ColourMode;

constexpr int kColourLinesPerInch = 300;  // 100 colour lines of three raw lines each

const micrkit::SeriesFormat& Samples(ColourMode mode) {
  const char* name = mode == ColourMode::kGrey ? "QV62x" : "QV62x colour";
  for (const micrkit::SeriesFormat& f : micrkit::SeriesFormats()) {
    if (std::strcmp(f.series, name) == 0) return f;
  }
  return micrkit::SeriesFormats().front();
}

}  // namespace

std::array<documents::SideScan, 2> Qv62xFeedFormat::Scans(const documents::Document& document,
                                                          ColourMode mode) const {
  const Qv62xLayout& o = layout_;
  const documents::SensorGeometry front{0, o.pixels, o.pixels, false, 0};
  const documents::SensorGeometry rear{0, o.pixels, o.pixels, o.rearTopDown, 0};
  std::array<documents::SideScan, 2> scans = {
      documents::ScanOf(document, documents::Side::kFront, front, ColourMode::kGrey, o.reversedTransport,
                        o.leadIn),
      documents::ScanOf(document, documents::Side::kRear, rear, ColourMode::kGrey, o.reversedTransport,
                        o.leadIn + o.distance)};
  if (mode != ColourMode::kGrey) {
    for (documents::SideScan& s : scans) {
      s.linesPerInch = kColourLinesPerInch;
      s.lights = {{100, 0, 0}, {0, 100, 0}, {0, 0, 100}};
    }
  }
  return scans;
}

std::vector<uint8_t> Qv62xFeedFormat::RawLines(const documents::SideScan& scan,
                                               const documents::TransferRequest& request) const {
  return documents::RenderRawLines(scan, request);
}

int Qv62xFeedFormat::SampleRate(ColourMode mode) const {
  return Samples(mode).rate;
}

std::vector<uint8_t> Qv62xFeedFormat::SampleBytes(const documents::Document& document,
                                                  ColourMode mode) const {
  return document.MagneticBytes(Samples(mode), layout_.reversedTransport);
}

documents::HostAssembly Qv62xFeedFormat::HostAssemblyOf(documents::Side side, ColourMode mode,
                                                        int dpi) const {
  // Colour lines are stored twice, as three-line groups are under the alternative timing.
  return documents::HostAssemblyOf(side, mode == ColourMode::kGrey ? mode : ColourMode::kColourAltTiming, dpi,
                                   layout_.reversedTransport);
}

int Qv62xFeedFormat::ImageLines(const std::array<documents::SideScan, 2>& scans, ColourMode mode) const {
  int n = std::max(scans[0].DocumentLines(), scans[1].DocumentLines());
  if (mode != ColourMode::kGrey) n = (n + 2) / 3 * 3;
  return n;
}

documents::TransferRequest Qv62xFeedFormat::WholeTransfer(int imageLines) const {
  const Qv62xLayout& o = layout_;
  return {0, o.leadIn + o.distance + imageLines + o.trailing, 0, o.pixels, false};
}

documents::ExpectedImage Qv62xFeedFormat::HostImage(const documents::SideScan& scan,
                                                    const documents::TransferRequest& /*request*/,
                                                    documents::Side side, ColourMode mode, int dpi) const {
  // The host starts at the side's first document line and takes N lines (N / 3 colour lines).
  documents::SideScan s = scan;
  s.leadLines = 0;
  int n = s.DocumentLines();
  if (mode != ColourMode::kGrey) n = (n + 2) / 3 * 3 + 2;  // the three-line groups' count is (lines - 2) / 3
  const documents::TransferRequest lines{0, n, 0, layout_.pixels, false};
  documents::ExpectedImage image = documents::AssembleSide(s, lines, HostAssemblyOf(side, mode, 200));
  if (dpi == 100) image = HalveImage(image);
  return image;
}

documents::ExpectedImage HalveImage(const documents::ExpectedImage& in) {
  const int channels = in.bitCount / 8;
  documents::ExpectedImage out;
  out.bitCount = in.bitCount;
  out.dpi = in.dpi / 2;
  out.width = in.width / 2;
  out.height = in.height / 2;
  out.pixels.resize(static_cast<size_t>(out.RowBytes()) * static_cast<size_t>(out.height));
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      for (int c = 0; c < channels; ++c) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy) {
          for (int dx = 0; dx < 2; ++dx) sum += in.Row(2 * y + dy)[(2 * x + dx) * channels + c];
        }
        out.pixels[static_cast<size_t>(y) * static_cast<size_t>(out.RowBytes()) +
                   static_cast<size_t>(x * channels + c)] = static_cast<uint8_t>(sum / 4);
      }
    }
  }
  return out;
}

}  // namespace sim
