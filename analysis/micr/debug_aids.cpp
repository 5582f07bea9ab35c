// Bitmap writer (fields little-endian, written one by one), waveform plot and sample inversion.
#include "analysis/micr/debug_aids.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "analysis/micr/debug_logs.h"
#include "platform/byte_order.h"
#include "platform/paths.h"

namespace analysis::micr {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.resize(out.size() + 2);
  plat::bytes::PutLe16(out.data() + out.size() - 2, static_cast<uint16_t>(v));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  out.resize(out.size() + 4);
  plat::bytes::PutLe32(out.data() + out.size() - 4, v);
}

}  // namespace

bool funcMicrWriteBitmap(int width, int height, int bitsPerPixel, int dpi, const uint8_t* pixels,
                         std::string_view fileName) {
  if (width <= 0 || height <= 0 || pixels == nullptr) return false;
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24) return false;
  const uint64_t packed = (static_cast<uint64_t>(width) * bitsPerPixel + 7) / 8;
  const uint64_t stride = (packed + 3) / 4 * 4;
  const uint32_t colours = bitsPerPixel == 24 ? 0 : (1u << bitsPerPixel);
  const uint64_t imageSize = stride * static_cast<uint64_t>(height);
  const uint32_t offset = 14 + 40 + colours * 4;
  if (imageSize + offset > UINT32_MAX) return false;
  const auto ppm = static_cast<uint32_t>(dpi * 3937 / 100);
  std::vector<uint8_t> out;
  out.reserve(offset + imageSize);
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<uint32_t>(offset + imageSize));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(bitsPerPixel));
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(imageSize));
  Put32(out, ppm);
  Put32(out, ppm);
  Put32(out, 0);
  Put32(out, 0);
  for (uint32_t i = 0; i < colours; ++i) {
    // White and black for 1 bit, steps of 17 for 4 bits, every gray level for 8 bits.
    const uint32_t g = bitsPerPixel == 1 ? (i == 0 ? 255 : 0) : (bitsPerPixel == 4 ? i * 17 : i);
    out.push_back(static_cast<uint8_t>(g));
    out.push_back(static_cast<uint8_t>(g));
    out.push_back(static_cast<uint8_t>(g));
    out.push_back(0);
  }
  for (int row = height - 1; row >= 0; --row) {
    const uint8_t* src = pixels + static_cast<uint64_t>(row) * packed;
    out.insert(out.end(), src, src + packed);
    out.insert(out.end(), stride - packed, 0);
  }
  std::FILE* f = plat::OpenFile(fileName, "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

bool funcMicrPlotWaveform(const uint16_t* samples, int count, std::string_view fileName, int format) {
  if (samples == nullptr || count <= 0) return false;
  constexpr int kWidth = 256;
  std::vector<uint8_t> image(static_cast<std::size_t>(count) * kWidth, 255);
  for (int row = 0; row < count; ++row) {
    uint8_t* line = image.data() + static_cast<std::size_t>(row) * kWidth;
    for (int x = 32; x < kWidth; x += 32) line[x] = 0;
    const uint16_t s = samples[row];
    const int level = format == 0 ? (s & 0xFF) : (format == 1 ? std::min(s / 4, 255) : (s >> 8));
    line[level] = 0;
    if (row % 50 == 0) std::fill_n(line + 121, 15, 0);
    else if (row % 10 == 0) std::fill_n(line + 124, 9, 0);
  }
  return funcMicrWriteBitmap(kWidth, count, 8, 100, image.data(), fileName);
}

void funcMicrInvertSamples(uint16_t* samples, int count, const MicrLogs* logs) {
  if (samples == nullptr || count <= 0) return;
  int low = 65535, high = 0;
  for (int i = 0; i < count; ++i) {
    low = std::min<int>(low, samples[i]);
    high = std::max<int>(high, samples[i]);
    if (logs != nullptr)
      logs->funcMicrTempLog(Format("%5d:  %5d, iLow = %5d, iHigh = %5d", i, samples[i], low, high));
  }
  if (logs != nullptr)
    logs->funcMicrTempLog(
        Format("iCodes = %d, High = %d, Low = %d, iTemp = %d\n", count, high, low, high - low));
  for (int i = 0; i < count; ++i) samples[i] = static_cast<uint16_t>((high - samples[i]) / 256);
}

}  // namespace analysis::micr
