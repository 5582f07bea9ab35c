// Raw scan lines of a document side.
#include "sim/documents/sensor_scan.h"

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
  std::vector<uint8_t> out(bytes);
  uint8_t* dst = out.data();
  for (int t = 0; t < lines; ++t) {
    const int line = request.firstLine + t * step;
    for (int u = 0; u < pixels; ++u) *dst++ = scan.Read(line, request.firstPixel + u * step);
  }
  return out;
}

}  // namespace sim::documents
