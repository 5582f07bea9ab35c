// Raw scan lines of a document side.
#include "sim/documents/sensor_scan.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

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
  for (size_t i = 0; i < rows_.size(); ++i) {
    const int64_t kind = rows_[i] < 0 ? rows_[i] : 0;
    if (runs_.empty() || runs_.back().kind != kind) runs_.push_back(Run{i, i, kind});
    runs_.back().end = i + 1;
  }
  grey_ = scan.image != nullptr && AllGrey(scan.image->rgb);
  for (const ChannelLight& l : scan.lights) mixes_.push_back(MixOf(l));
  if (mixes_.empty()) mixes_.push_back(MixOf(ChannelLight{}));
}

namespace {
// Blocks of lines that show neighbouring columns: the image rows and the output rows they touch stay in
// cache from one line of the block to the next.
constexpr size_t kBlock = 16;
// The next rows' pixels are a whole image row apart: too far for the hardware to see coming.
constexpr size_t kAhead = 24;
}  // namespace

void LineReader::ReadPlain(const Run& run, const uint8_t* const* ptrs, size_t count, uint8_t* out,
                           size_t lineStride, size_t pixelStride) const {
  const int64_t* rows = rows_.data();
  const uint8_t* low = *std::min_element(ptrs, ptrs + count);
  // Neighbouring columns one stride apart (a grey face, or one LED on every line): no table of pointers.
  const ptrdiff_t d = count > 1 ? ptrs[1] - ptrs[0] : 0;
  bool even = count == kBlock;
  for (size_t t = 1; t < count && even; ++t) even = ptrs[t] == ptrs[0] + static_cast<ptrdiff_t>(t) * d;
  for (size_t i = run.begin; i < run.end; ++i) {
    if (i + kAhead < run.end) {
      __builtin_prefetch(low + rows[i + kAhead]);
      __builtin_prefetch(low + rows[i + kAhead] + 3 * kBlock - 1);
    }
    const int64_t r = rows[i];
    uint8_t* o = out + i * pixelStride;
    if (even) {
      const uint8_t* p = ptrs[0] + r;
      for (size_t t = 0; t < kBlock; ++t) o[t * lineStride] = p[static_cast<ptrdiff_t>(t) * d];
    } else {
      for (size_t t = 0; t < count; ++t) o[t * lineStride] = ptrs[t][r];
    }
  }
}

void LineReader::ReadEqual(const Run& run, const uint8_t* const* ptrs, size_t count, const uint8_t* bySum,
                           uint8_t* out, size_t lineStride, size_t pixelStride) const {
  const int64_t* rows = rows_.data();
  const uint8_t* low = *std::min_element(ptrs, ptrs + count);
  for (size_t i = run.begin; i < run.end; ++i) {
    if (i + kAhead < run.end) {
      __builtin_prefetch(low + rows[i + kAhead]);
      __builtin_prefetch(low + rows[i + kAhead] + 3 * kBlock - 1);
    }
    const int64_t r = rows[i];
    uint8_t* o = out + i * pixelStride;
    for (size_t t = 0; t < count; ++t) {
      const uint8_t* p = ptrs[t] + r;
      o[t * lineStride] = bySum[size_t{p[0]} + p[1] + p[2]];
    }
  }
}

void LineReader::Read(std::span<const int> lines, uint8_t* dst, size_t lineStride, size_t pixelStride) const {
  const int64_t records = static_cast<int64_t>(mixes_.size());
  const int64_t* rows = rows_.data();
  const uint8_t* ptrs[kBlock];
  const Mix* mixes[kBlock];
  for (size_t first = 0; first < lines.size(); first += kBlock) {
    const size_t count = std::min(kBlock, lines.size() - first);
    uint8_t* out = dst + first * lineStride;
    // The usual blocks: every line on the document reading one byte a pixel (a grey face under any lit
    // LEDs, or a single lit LED), or every line under the same equal light.
    bool plain = true, equal = true;
    for (size_t t = 0; t < count; ++t) {
      const int line = lines[first + t];
      const int column = scan_.image != nullptr ? scan_.ColumnOf(line) : -1;
      const Mix& mix = mixes_[static_cast<size_t>(((int64_t{line} - scan_.leadLines) % records + records) % records)];
      mixes[t] = &mix;
      ptrs[t] = column < 0 ? nullptr : scan_.image->rgb.data() + static_cast<size_t>(column) * 3;
      const bool single = mix.kind == Mix::Kind::kRed || mix.kind == Mix::Kind::kGreen || mix.kind == Mix::Kind::kBlue;
      plain = plain && ptrs[t] != nullptr && (single || (grey_ && mix.kind != Mix::Kind::kDark));
      equal = equal && ptrs[t] != nullptr && mix.kind == Mix::Kind::kEqual && mix.light.red == mixes[0]->light.red;
    }
    const uint8_t* channels[kBlock];  // the byte each line reads of its pixel, on a plain block
    for (size_t t = 0; plain && t < count; ++t) {
      const Mix::Kind kind = mixes[t]->kind;
      channels[t] = ptrs[t] + (grey_ ? 0 : kind == Mix::Kind::kGreen ? 1 : kind == Mix::Kind::kBlue ? 2 : 0);
    }
    for (const Run& run : runs_) {
      if (run.kind != 0) {  // off the document for every line
        const uint8_t v = run.kind == kUnlit ? 0 : kBackground;
        if (lineStride == 1) {  // the block's lines side by side in each output row
          for (size_t i = run.begin; i < run.end; ++i) std::memset(out + i * pixelStride, v, count);
        } else {
          for (size_t t = 0; t < count; ++t) {
            uint8_t* o = out + t * lineStride;
            if (pixelStride == 1) {
              std::memset(o + run.begin, v, run.end - run.begin);
            } else {
              for (size_t i = run.begin; i < run.end; ++i) o[i * pixelStride] = v;
            }
          }
        }
      } else if (plain) {
        ReadPlain(run, channels, count, out, lineStride, pixelStride);
      } else if (equal) {
        ReadEqual(run, ptrs, count, mixes[0]->bySum.data(), out, lineStride, pixelStride);
      } else {
        // Mixed blocks (lines before or after the document, dark or weighted records): line by line.
        for (size_t t = 0; t < count; ++t) {
          uint8_t* o = out + t * lineStride;
          const Mix& mix = *mixes[t];
          const uint8_t* base = ptrs[t];
          for (size_t i = run.begin; i < run.end; ++i) {
            uint8_t v = kBackground;  // before or after the document
            if (base != nullptr) {
              const uint8_t* p = base + rows[i];
              switch (mix.kind) {
                case Mix::Kind::kDark: v = 0; break;
                case Mix::Kind::kRed: v = p[0]; break;
                case Mix::Kind::kGreen: v = p[1]; break;
                case Mix::Kind::kBlue: v = p[2]; break;
                case Mix::Kind::kEqual: v = mix.bySum[size_t{p[0]} + p[1] + p[2]]; break;
                case Mix::Kind::kWeighted: v = Reflectance(mix.light, Rgb{p[0], p[1], p[2]}); break;
              }
            }
            o[i * pixelStride] = v;
          }
        }
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
