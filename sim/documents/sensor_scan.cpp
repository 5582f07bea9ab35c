// Raw scan lines of a document side.
#include "sim/documents/sensor_scan.h"

#include <algorithm>
#include <array>

namespace sim::documents {

int SideScan::DocumentLines() const {
  if (image == nullptr || image->dpi <= 0) return 0;
  const int64_t lines = (int64_t{image->width} * linesPerInch + image->dpi - 1) / image->dpi;
  return static_cast<int>(lines);
}

int SideScan::ColumnOf(int line) const {
  if (image == nullptr || image->dpi <= 0 || linesPerInch <= 0) return -1;
  const int64_t d = int64_t{line} - leadLines;
  if (d < 0) return -1;
  const int64_t c = d * image->dpi / linesPerInch;
  if (c >= image->width) return -1;
  return columnsReversed ? image->width - 1 - static_cast<int>(c) : static_cast<int>(c);
}

const ChannelLight& SideScan::LightOf(int line) const {
  static const ChannelLight kDark{};
  if (lights.empty()) return kDark;
  const int64_t n = static_cast<int64_t>(lights.size());
  const int64_t k = ((int64_t{line} - leadLines) % n + n) % n;
  return lights[static_cast<size_t>(k)];
}

int SideScan::SensorPixelOf(int good) const {
  return sensor.topDown ? sensor.startPixel + sensor.goodPixels - 1 - good : sensor.startPixel + good;
}

int SideScan::GoodPixelOf(int sensorPixel) const {
  const int g = sensorPixel - sensor.startPixel;
  if (g < 0 || g >= sensor.goodPixels || sensorPixel >= sensor.totalPixels) return -1;
  return sensor.topDown ? sensor.goodPixels - 1 - g : g;
}

uint8_t SideScan::Read(int line, int sensorPixel) const {
  const int g = GoodPixelOf(sensorPixel);
  if (g < 0) return 0;  // outside the lit part of the sensor
  if (image == nullptr) return kBackground;
  const int above = g - sensor.documentOffset;
  const int column = ColumnOf(line);
  if (above < 0 || above >= image->height || column < 0) return kBackground;
  return Reflectance(LightOf(line), image->At(column, image->height - 1 - above));
}

namespace {
constexpr int64_t kUnlit = -1;  // outside the lit part of the sensor: reads 0
constexpr int64_t kTrack = -2;  // lit, but off the document: reads the background
}  // namespace

namespace {
// Whether every pixel of an interleaved red, green, blue image has equal channels. Compares each byte with
// the next in whole 48-byte runs (16 pixels) so that the loop runs in vector registers.
bool AllGrey(const std::vector<uint8_t>& rgb) {
  constexpr size_t kRun = 48;
  static constexpr auto kInside = [] {
    std::array<uint8_t, kRun> m{};
    for (size_t j = 0; j < kRun; ++j) m[j] = j % 3 != 2 ? 0xFF : 0;  // byte j and j + 1 are one pixel's
    return m;
  }();
  const uint8_t* p = rgb.data();
  const size_t n = rgb.size() / 3 * 3;
  size_t i = 0;
  for (; i + kRun + 1 <= n; i += kRun) {
    uint8_t diff = 0;
    for (size_t j = 0; j < kRun; ++j) diff |= static_cast<uint8_t>((p[i + j] ^ p[i + j + 1]) & kInside[j]);
    if (diff != 0) return false;
  }
  for (; i + 2 < n; i += 3) {
    if (p[i] != p[i + 1] || p[i] != p[i + 2]) return false;
  }
  return true;
}
}  // namespace

LineReader::Mix LineReader::MixOf(const ChannelLight& light) {
  Mix m;
  m.light = light;
  const int sum = light.red + light.green + light.blue;
  if (sum <= 0) {
    m.kind = Mix::Kind::kDark;
  } else if (light.green == 0 && light.blue == 0) {
    m.kind = Mix::Kind::kRed;  // (r * l + l / 2) / l == r
  } else if (light.red == 0 && light.blue == 0) {
    m.kind = Mix::Kind::kGreen;
  } else if (light.red == 0 && light.green == 0) {
    m.kind = Mix::Kind::kBlue;
  } else if (light.red == light.green && light.green == light.blue) {
    m.kind = Mix::Kind::kEqual;
    m.bySum.resize(3 * 255 + 1);
    for (int s = 0; s <= 3 * 255; ++s) m.bySum[static_cast<size_t>(s)] = static_cast<uint8_t>((s * light.red + sum / 2) / sum);
  } else {
    m.kind = Mix::Kind::kWeighted;
  }
  return m;
}

LineReader::LineReader(const SideScan& scan, std::vector<int> sensorPixels) : scan_(scan) {
  rows_.reserve(sensorPixels.size());
  for (int s : sensorPixels) {
    const int g = scan.GoodPixelOf(s);
    if (g < 0) {
      rows_.push_back(kUnlit);
      continue;
    }
    const int above = scan.image != nullptr ? g - scan.sensor.documentOffset : -1;
    if (above < 0 || above >= scan.image->height) {
      rows_.push_back(kTrack);
      continue;
    }
    const int y = scan.image->height - 1 - above;
    rows_.push_back(int64_t{y} * scan.image->width * 3);
  }
  grey_ = scan.image != nullptr && AllGrey(scan.image->rgb);
  for (const ChannelLight& l : scan.lights) mixes_.push_back(MixOf(l));
  if (mixes_.empty()) mixes_.push_back(MixOf(ChannelLight{}));
}

void LineReader::Read(std::span<const int> lines, uint8_t* dst, size_t lineStride, size_t pixelStride) const {
  // Blocks of lines that show neighbouring columns: the image rows and the output rows they touch stay
  // in cache from one line of the block to the next.
  constexpr size_t kBlock = 16;
  constexpr size_t kAhead = 24;
  const int64_t k = static_cast<int64_t>(mixes_.size());
  const int64_t* rows = rows_.data();
  const size_t n = rows_.size();
  const auto offDocument = [rows, n, pixelStride](uint8_t* out) {
    for (size_t i = 0; i < n; ++i) out[i * pixelStride] = rows[i] == kUnlit ? 0 : kBackground;
  };
  const uint8_t* ptrs[kBlock];
  uint8_t* outs[kBlock];
  for (size_t first = 0; first < lines.size(); first += kBlock) {
    const size_t count = std::min(kBlock, lines.size() - first);
    // The usual blocks: every line on the document under one lit LED, or every line under the same
    // equal light (grey). They go pixel by pixel across the block, along the image's rows.
    bool singleLed = true, sameEqual = true;
    const Mix* equal = nullptr;
    for (size_t t = 0; t < count && (singleLed || sameEqual); ++t) {
      const int line = lines[first + t];
      const int column = scan_.image != nullptr ? scan_.ColumnOf(line) : -1;
      const Mix& mix = mixes_[static_cast<size_t>(((int64_t{line} - scan_.leadLines) % k + k) % k)];
      if (column < 0) {
        singleLed = sameEqual = false;
        break;
      }
      const uint8_t* base = scan_.image->rgb.data() + static_cast<size_t>(column) * 3;
      const bool single = mix.kind == Mix::Kind::kRed || mix.kind == Mix::Kind::kGreen || mix.kind == Mix::Kind::kBlue;
      // A grey face reads its own value under any lit LEDs.
      singleLed = singleLed && (single || (grey_ && mix.kind != Mix::Kind::kDark));
      sameEqual = sameEqual && mix.kind == Mix::Kind::kEqual && (equal == nullptr || equal->light.red == mix.light.red);
      equal = &mix;
      ptrs[t] = base + (grey_ ? 0 : mix.kind == Mix::Kind::kGreen ? 1 : mix.kind == Mix::Kind::kBlue ? 2 : 0);
      outs[t] = dst + (first + t) * lineStride;
    }
    if (singleLed || sameEqual) {
      const uint8_t* bySum = sameEqual ? equal->bySum.data() : nullptr;
      const uint8_t* lead = ptrs[0];
      for (size_t i = 0; i < n; ++i) {
        const int64_t r = rows[i];
        const size_t at = i * pixelStride;
        // The next rows' pixels are a whole image row apart: too far for the hardware to see coming.
        if (i + kAhead < n && rows[i + kAhead] >= 0) {
          __builtin_prefetch(lead + rows[i + kAhead]);
          __builtin_prefetch(lead + rows[i + kAhead] + 3 * kBlock - 1);
        }
        if (r < 0) {
          const uint8_t v = r == kUnlit ? 0 : kBackground;
          for (size_t t = 0; t < count; ++t) outs[t][at] = v;
        } else if (singleLed) {
          for (size_t t = 0; t < count; ++t) outs[t][at] = ptrs[t][r];
        } else {
          for (size_t t = 0; t < count; ++t) {
            const uint8_t* p = ptrs[t] + r;
            outs[t][at] = bySum[size_t{p[0]} + p[1] + p[2]];
          }
        }
      }
      continue;
    }
    for (size_t t = first; t < first + count; ++t) {
      const int line = lines[t];
      uint8_t* out = dst + t * lineStride;
      const int column = scan_.image != nullptr ? scan_.ColumnOf(line) : -1;
      if (column < 0) {
        offDocument(out);
        continue;
      }
      const uint8_t* base = scan_.image->rgb.data() + static_cast<size_t>(column) * 3;
      const Mix& mix = mixes_[static_cast<size_t>(((int64_t{line} - scan_.leadLines) % k + k) % k)];
      switch (mix.kind) {
        case Mix::Kind::kDark:
          for (size_t i = 0; i < n; ++i) out[i * pixelStride] = rows[i] == kTrack ? kBackground : 0;
          break;
        case Mix::Kind::kRed:
        case Mix::Kind::kGreen:
        case Mix::Kind::kBlue: {
          const uint8_t* channel = base + (mix.kind == Mix::Kind::kRed ? 0 : mix.kind == Mix::Kind::kGreen ? 1 : 2);
          for (size_t i = 0; i < n; ++i) {
            const int64_t r = rows[i];
            out[i * pixelStride] = r >= 0 ? channel[r] : r == kUnlit ? 0 : kBackground;
          }
          break;
        }
        case Mix::Kind::kEqual: {
          const uint8_t* bySum = mix.bySum.data();
          for (size_t i = 0; i < n; ++i) {
            const int64_t r = rows[i];
            out[i * pixelStride] =
                r >= 0 ? bySum[size_t{base[r]} + base[r + 1] + base[r + 2]] : r == kUnlit ? 0 : kBackground;
          }
          break;
        }
        case Mix::Kind::kWeighted:
          for (size_t i = 0; i < n; ++i) {
            const int64_t r = rows[i];
            out[i * pixelStride] = r >= 0 ? Reflectance(mix.light, Rgb{base[r], base[r + 1], base[r + 2]})
                                          : r == kUnlit ? 0 : kBackground;
          }
          break;
      }
    }
  }
}

TransferRequest WholeDocument(const SideScan& scan, bool halfSize) {
  const int align = halfSize ? 128 : 64;
  TransferRequest r;
  r.firstLine = scan.leadLines;
  r.endLine = scan.leadLines + scan.DocumentLines();
  r.firstPixel = 0;
  r.endPixel = (scan.sensor.totalPixels + align - 1) / align * align;
  r.halfSize = halfSize;
  return r;
}

std::vector<uint8_t> RenderRawLines(const SideScan& scan, const TransferRequest& request) {
  constexpr int kMax16 = 0xFFFF;
  if (scan.image == nullptr) return {};
  if (request.firstLine < 0 || request.firstPixel < 0 || request.endLine > kMax16 ||
      request.endPixel > kMax16 || request.endLine < request.firstLine ||
      request.endPixel < request.firstPixel)
    return {};
  const int lines = request.Lines();
  const int pixels = request.Pixels();
  const size_t bytes = static_cast<size_t>(lines) * static_cast<size_t>(pixels);
  if (bytes > kMaxTransferBytes) return {};
  const int step = request.halfSize ? 2 : 1;
  std::vector<int> sensorPixels(static_cast<size_t>(pixels));
  for (int u = 0; u < pixels; ++u) sensorPixels[static_cast<size_t>(u)] = request.firstPixel + u * step;
  const LineReader reader(scan, std::move(sensorPixels));
  std::vector<int> raw(static_cast<size_t>(lines));
  for (int t = 0; t < lines; ++t) raw[static_cast<size_t>(t)] = request.firstLine + t * step;
  std::vector<uint8_t> out(bytes);
  reader.Read(raw, out.data(), static_cast<size_t>(pixels), 1);
  return out;
}

}  // namespace sim::documents
