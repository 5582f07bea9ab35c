// The KQv8x feed format, its reference resampling and its EEPROM image.
#include "sim/kqv8x_feed_format.h"

#include <algorithm>
#include <cstring>

#include "testkit/micr/sample_format.h"

namespace sim {
namespace {

using documents::ColourMode;
using documents::ExpectedImage;

constexpr int kSensorDpi = 300;

const micrkit::SeriesFormat& KQv8xSamples() {
  for (const micrkit::SeriesFormat& f : micrkit::SeriesFormats()) {
    if (std::strcmp(f.series, "KQv8x") == 0) return f;
  }
  return micrkit::SeriesFormats().front();
}

int RoundDownEven(int v) {
  return v & ~1;
}

// Output (w x h) from `in`, each sample from `value(y, x, c)`.
template <class Value>
ExpectedImage Make(const ExpectedImage& in, int width, int height, int dpi, Value value) {
  ExpectedImage out;
  out.bitCount = in.bitCount;
  out.dpi = dpi;
  out.width = std::max(width, 0);
  out.height = std::max(height, 0);
  const int channels = in.bitCount / 8;
  out.pixels.resize(static_cast<size_t>(out.RowBytes()) * static_cast<size_t>(out.height));
  for (int y = 0; y < out.height; ++y) {
    uint8_t* row = out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(out.RowBytes());
    for (int x = 0; x < out.width; ++x) {
      for (int c = 0; c < channels; ++c) row[x * channels + c] = static_cast<uint8_t>(value(y, x, c));
    }
  }
  return out;
}

}  // namespace

KQv8xFeederOptions KQv8xDefaultFeederOptions() {
  KQv8xFeederOptions o;
  o.front = {12, kKQv8xGoodPixels, 2594, false, 0};
  o.rear = {12, kKQv8xGoodPixels, 2594, true, 0};
  o.sampleRate = KQv8xSamples().rate;
  o.sampleRateAltTiming = KQv8xSamples().rate;
  return o;
}

ExpectedImage ResampleKQv8x(const ExpectedImage& in, ColourMode mode, int dpi) {
  const int channels = in.bitCount / 8;
  auto at = [&](int y, int x, int c) { return int{in.Row(y)[x * channels + c]}; };
  const int w = in.width;
  const int h = in.height;
  if (mode == ColourMode::kGrey) {
    if (dpi == 100) {
      // Means of 2 lines by 3 sensor rows.
      return Make(in, w / 2, h / 3, 100, [&](int y, int x, int c) {
        int sum = 0;
        for (int dy = 0; dy < 3; ++dy) sum += at(3 * y + dy, 2 * x, c) + at(3 * y + dy, 2 * x + 1, c);
        return sum / 6;
      });
    }
    if (dpi == 200) {
      // Of every three rows: the first as it is, then the mean of the other two.
      return Make(in, w, h * 2 / 3, 200, [&](int y, int x, int c) {
        const int r = y / 2 * 3;
        return y % 2 == 0 ? at(r, x, c) : (at(r + 1, x, c) + at(r + 2, x, c)) >> 1;
      });
    }
    return in;
  }
  if (dpi == 100) {
    return Make(in, w, h / 3, 100, [&](int y, int x, int c) {
      return (at(3 * y, x, c) + at(3 * y + 1, x, c) + at(3 * y + 2, x, c)) / 3;
    });
  }
  if (dpi == 200) {
    // Each line gives two (itself, then the mean with the next; the last line is its own next); rows as at
    // 200 dpi grey, the second row of a pair from the mean of both lines of both rows.
    return Make(in, 2 * w, h * 2 / 3, 200, [&](int y, int x, int c) {
      const int r = y / 2 * 3;
      const int p = x / 2;
      const int q = std::min(p + 1, w - 1);
      if (y % 2 == 0) return x % 2 == 0 ? at(r, p, c) : (at(r, p, c) + at(r, q, c)) >> 1;
      if (x % 2 == 0) return (at(r + 1, p, c) + at(r + 2, p, c)) >> 1;
      return (at(r + 1, p, c) + at(r + 1, q, c) + at(r + 2, p, c) + at(r + 2, q, c)) >> 2;
    });
  }
  // Each line gives three: itself, then two steps towards the next.
  return Make(in, 3 * w, h, 300, [&](int y, int x, int c) {
    const int p = x / 3;
    const int q = std::min(p + 1, w - 1);
    const int a = at(y, p, c);
    const int b = at(y, q, c);
    return x % 3 == 0 ? a : x % 3 == 1 ? (2 * a + b) / 3 : (a + 2 * b) / 3;
  });
}

KQv8xFeedFormat::KQv8xFeedFormat(KQv8xFeederOptions options)
    : ContactSensorFormat(options), options_(std::move(options)) {}

int KQv8xFeedFormat::SampleRate(ColourMode /*mode*/) const {
  return KQv8xSamples().rate;
}

std::vector<uint8_t> KQv8xFeedFormat::SampleBytes(const documents::Document& document,
                                                  ColourMode /*mode*/) const {
  return document.MagneticBytes(KQv8xSamples(), options_.mirroredSides);
}

documents::HostAssembly KQv8xFeedFormat::HostAssemblyOf(documents::Side side, ColourMode mode,
                                                        int /*dpi*/) const {
  documents::HostAssembly host = ContactSensorFormat::HostAssemblyOf(side, mode, kSensorDpi);
  host.groupRepeat = 1;
  host.wholeGroups = true;
  // The host's window with no bounds set: from the even pixel at or below the one before the first lit
  // pixel, to the even pixel at or below the one after the last.
  const KQv8xLitEdges& lit = options_.lit[side == documents::Side::kFront ? 0 : 1];
  host.firstGoodPixel = RoundDownEven(lit.first - 1);
  host.rows = RoundDownEven(lit.last + 1) - host.firstGoodPixel;
  return host;
}

ExpectedImage KQv8xFeedFormat::HostImage(const documents::SideScan& scan,
                                         const documents::TransferRequest& request, documents::Side side,
                                         ColourMode mode, int dpi) const {
  return ResampleKQv8x(documents::AssembleSide(scan, request, HostAssemblyOf(side, mode, dpi)), mode, dpi);
}

}  // namespace sim
