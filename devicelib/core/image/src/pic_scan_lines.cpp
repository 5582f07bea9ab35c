// CPICScanLines: calibration, lookup tables and correction of the second scan-line path.
#include "qv6/image/pic_scan_lines.h"

#include <algorithm>

#include "qv6/image/shading_tables.h"

namespace qv6 {

CPICScanLines::CPICScanLines()
    : white_(kMaxPixels, 255), black_(kMaxPixels, 0), tables_(size_t{kMaxPixels} * 256) {
  shading::IdentityTables(tables_);
}

int CPICScanLines::SetCalibrationLine(std::span<const uint8_t> src, int white) {
  std::vector<uint8_t>& line = white == 1 ? white_ : black_;
  std::copy_n(src.begin(), std::min(src.size(), line.size()), line.begin());
  return 1;
}

std::span<const uint8_t, 256> CPICScanLines::GetLookupTable(int pixel) const {
  pixel = std::clamp(pixel, 0, kMaxPixels - 1);
  return std::span<const uint8_t, 256>(tables_.data() + static_cast<size_t>(pixel) * 256, 256);
}

int CPICScanLines::BuildLookupTables() {
  const int pixels = calibratedPixels_;
  if (pixels < 0 || pixels > kMaxPixels) return 0;
  switch (scanType_) {
    case 1:
      for (int p = 0; p < pixels; p += 2) {
        // An odd count's last pair reaches one pixel past the calibrated ones, still inside the tables.
        uint8_t low[16];
        uint8_t high[16];
        shading::WhiteGainNibbles(shading::WhiteLevel(white_[p]), low);
        shading::WhiteGainNibbles(shading::WhiteLevel(white_[p + 1]), high);
        shading::PairTable(low, high, std::span<uint8_t, 256>(Table(p), 256));
        std::copy_n(Table(p), 256, Table(p + 1));
      }
      return 1;
    case 2:
      for (int p = 0; p < pixels; ++p)
        shading::WhiteGain8(shading::WhiteLevel(white_[p]), std::span<uint8_t, 256>(Table(p), 256));
      return 1;
    case 3:
      for (int p = 0; p < pixels; ++p)
        shading::SixBitStretch(black_[p], shading::WhiteLevel(white_[p]),
                               std::span<uint8_t, 64>(Table(p), 64));
      return 1;
    default:
      return 0;
  }
}

int CPICScanLines::ApplyLookupTable(int reversed, int half, int start, int startReversed) {
  if (CorrectionMode() != 2) return 0;
  if (!GeometryFits()) return 0;
  const int64_t step = half ? 2 : 1;
  const int64_t first = reversed ? startReversed : start;
  const int64_t move = reversed ? -step : step;

  switch (bitsPerPixel_) {
    case 8:
      if (!IndicesFit(first, move, pixelsPerLine_, kMaxPixels)) return 0;
      for (int i = 0; i < numberOfLines_; ++i) {
        uint8_t* p = Line(i);
        for (int64_t k = 0; k < pixelsPerLine_; ++k) p[k] = Table(static_cast<int>(first + move * k))[p[k]];
      }
      return 1;
    case 4: {
      const int64_t bytes = pixelsPerLine_ / 2;
      if (!IndicesFit(first, move, 2 * bytes, kMaxPixels)) return 0;
      for (int i = 0; i < numberOfLines_; ++i) {
        uint8_t* p = Line(i);
        for (int64_t k = 0; k < bytes; ++k) {
          const int64_t current = first + move * 2 * k;
          const uint8_t b = p[k];
          const uint8_t high = Table(static_cast<int>(current))[static_cast<size_t>(b >> 4) * 4] & 0xF0;
          const uint8_t low = Table(static_cast<int>(current + move))[static_cast<size_t>(b & 0x0F) * 4] >> 4;
          p[k] = static_cast<uint8_t>(high | low);
        }
      }
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace qv6
