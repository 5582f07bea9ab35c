// Expected host images: the raw-line arrangement, colour expansion and cropping that a host applies,
// computed from the scanner model rather than from raw bytes.
#include "sim/documents/expected_image.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "sim/documents/document_length.h"

namespace sim::documents {
namespace {

// Transfer line indices of the three planes of every output line.
using Planes = std::array<int, 3>;

std::vector<Planes> OutputLines(ColourMode mode, bool half, int lines, int groupRepeat, bool wholeGroups) {
  std::vector<Planes> out;
  switch (mode) {
    case ColourMode::kGrey:
      for (int t = 0; t < lines; ++t) out.push_back({t, t, t});
      break;
    case ColourMode::kColour:
      for (int q = 0; q < std::max(lines - 1, 0) / 4; ++q) {
        const int b = 4 * q;
        const Planes first{b, b + 1, b + 2};
        const Planes second{b + 4, b + 3, b + 2};
        out.push_back(first);
        if (!half) out.push_back(first);
        out.push_back(second);
        if (!half) out.push_back(second);
      }
      break;
    case ColourMode::kColourAltTiming:
      for (int q = 0; q < (wholeGroups ? lines / 3 : std::max(lines - 2, 0) / 3); ++q) {
        const int b = 3 * q;
        const int repeat = groupRepeat > 0 ? groupRepeat : half ? 1 : 2;
        for (int r = 0; r < repeat; ++r) out.push_back({b, b + 1, b + 2});
      }
      break;
  }
  return out;
}

}  // namespace

ExpectedImage ReadPackedDib(const void* dib) {
  ExpectedImage h;
  h.dpi = 0;
  if (dib == nullptr) return h;
  const auto* p = static_cast<const uint8_t*>(dib);
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, p + at, 4);
    return v;
  };
  const uint32_t header = u32(0);
  h.width = static_cast<int>(u32(4));
  h.height = static_cast<int>(u32(8));
  h.bitCount = p[14] | (p[15] << 8);
  const uint32_t used = u32(32);
  const size_t colours = h.bitCount <= 8 ? (used != 0 ? used : size_t{1} << h.bitCount) : 0;
  const size_t stride = (static_cast<size_t>(h.width) * static_cast<size_t>(h.bitCount) + 31) / 32 * 4;
  const size_t rowBytes = (static_cast<size_t>(h.width) * static_cast<size_t>(h.bitCount) + 7) / 8;
  const uint8_t* bits = p + header + 4 * colours;
  h.pixels.reserve(rowBytes * static_cast<size_t>(std::max(h.height, 0)));
  for (int j = 0; j < h.height; ++j) {
    const uint8_t* row = bits + static_cast<size_t>(j) * stride;
    h.pixels.insert(h.pixels.end(), row, row + rowBytes);
  }
  return h;
}

ExpectedImage AssembleSide(const SideScan& scan, const TransferRequest& request, const HostAssembly& host) {
  ExpectedImage img;
  if (scan.image == nullptr || request.endLine < request.firstLine || request.endPixel < request.firstPixel)
    return img;
  const bool grey = host.mode == ColourMode::kGrey;
  const bool half = host.dpi == 100;
  // Grey at 100 dpi comes halved from the device; colour comes whole and the host takes every second
  // pixel.
  const int lineStep = grey && request.halfSize ? 2 : 1;
  const int pixelStep = half ? 2 : 1;
  const int lines = (request.endLine - request.firstLine) / lineStep;
  if (static_cast<size_t>(lines) * static_cast<size_t>(request.endPixel - request.firstPixel) >
      kMaxTransferBytes)
    return img;

  // Rows: the transferred good pixels from the window's first one, nearest the track first.
  std::vector<int> goods;
  for (int s = request.firstPixel; s < request.endPixel; s += pixelStep) {
    const int g = scan.GoodPixelOf(s);
    if (g >= host.firstGoodPixel) goods.push_back(g);
  }
  std::sort(goods.begin(), goods.end());
  if (host.rows > 0 && static_cast<size_t>(host.rows) < goods.size())
    goods.resize(static_cast<size_t>(host.rows));

  const std::vector<Planes> out = OutputLines(host.mode, half, lines, host.groupRepeat, host.wholeGroups);
  img.width = static_cast<int>(out.size());
  img.height = static_cast<int>(goods.size());
  img.bitCount = grey ? 8 : 24;
  img.dpi = host.dpi;
  img.pixels.resize(static_cast<size_t>(img.RowBytes()) * static_cast<size_t>(img.height));
  std::vector<int> sensorPixels(goods.size());
  for (size_t j = 0; j < goods.size(); ++j) sensorPixels[j] = scan.SensorPixelOf(goods[j]);
  const LineReader reader(scan, std::move(sensorPixels));
  const size_t stride = static_cast<size_t>(img.RowBytes());
  // The raw line of each plane for every output column, then each plane read across all columns.
  std::array<std::vector<int>, 3> raw;
  for (auto& r : raw) r.resize(static_cast<size_t>(img.width));
  for (int x = 0; x < img.width; ++x) {
    const Planes& p = out[static_cast<size_t>(host.reverseColumns ? img.width - 1 - x : x)];
    for (size_t k = 0; k < 3; ++k) raw[k][static_cast<size_t>(x)] = request.firstLine + p[k] * lineStep;
  }
  if (grey) {
    reader.Read(raw[0], img.pixels.data(), 1, stride);
  } else {
    reader.Read(raw[2], img.pixels.data(), 3, stride);  // blue from the third plane
    reader.Read(raw[1], img.pixels.data() + 1, 3, stride);
    reader.Read(raw[0], img.pixels.data() + 2, 3, stride);  // red from the first
  }
  return img;
}

ExpectedImage ReduceFrom300(const ExpectedImage& in, int dpi) {
  if (dpi != 100 && dpi != 200) return in;
  const int channels = in.bitCount / 8;
  ExpectedImage out;
  out.bitCount = in.bitCount;
  out.dpi = dpi;
  out.width = dpi == 100 ? in.width / 3 : in.width * 2 / 3;
  out.height = dpi == 100 ? in.height / 3 : in.height * 2 / 3;
  out.pixels.resize(static_cast<size_t>(out.RowBytes()) * static_cast<size_t>(out.height));
  auto at = [&](int y, int x, int c) { return int{in.Row(y)[x * channels + c]}; };
  for (int y = 0; y < out.height; ++y) {
    uint8_t* row = out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(out.RowBytes());
    for (int x = 0; x < out.width; ++x) {
      for (int c = 0; c < channels; ++c) {
        int v = 0;
        if (dpi == 100) {
          for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx) v += at(3 * y + dy, 3 * x + dx, c);
          v /= 9;
        } else {
          // Source rows and columns each output row and column averages.
          const int y0 = y / 2 * 3 + (y % 2 == 0 ? 0 : 1);
          const int ny = y % 2 == 0 ? 1 : 2;
          const int x0 = x / 2 * 3 + (x % 2 == 0 ? 0 : 1);
          const int nx = x % 2 == 0 ? 1 : 2;
          for (int dy = 0; dy < ny; ++dy)
            for (int dx = 0; dx < nx; ++dx) v += at(y0 + dy, x0 + dx, c);
          v /= ny * nx;
        }
        row[x * channels + c] = static_cast<uint8_t>(v);
      }
    }
  }
  return out;
}

void KeepRows(ExpectedImage& image, unsigned rows) {
  if (rows >= static_cast<unsigned>(image.height)) return;
  image.height = static_cast<int>(rows);
  image.pixels.resize(static_cast<size_t>(image.RowBytes()) * rows);
}

void CutBothToLarger(ExpectedImage& front, ExpectedImage& rear) {
  const unsigned length = std::max(DocumentLength(front), DocumentLength(rear));
  KeepRows(front, length + 1);
  KeepRows(rear, length + 1);
}

}  // namespace sim::documents
