// CScanLines: calibration lines, shading lookup tables and in-place correction of raw lines.
#include "qv6/image/scan_lines.h"

#include <algorithm>

#include "qv6/image/shading_tables.h"

namespace qv6 {
namespace {

constexpr unsigned kCalibrationKinds = 2 * CScanLines::kChannels;
constexpr int kOwnChannelWeight = 33;

unsigned BlackKind(int channel) {
  return 2u * static_cast<unsigned>(channel);
}
unsigned WhiteKind(int channel) {
  return 2u * static_cast<unsigned>(channel) + 1;
}

}  // namespace

CScanLines::CScanLines()
    : calibration_(kCalibrationKinds * size_t{kMaxPixels}), tables_(size_t{kPlanes} * kMaxPixels * 256) {
  for (int c = 0; c < kChannels; ++c) {
    std::fill_n(calibration_.begin() + BlackKind(c) * size_t{kMaxPixels}, kMaxPixels, uint8_t{0});
    std::fill_n(calibration_.begin() + WhiteKind(c) * size_t{kMaxPixels}, kMaxPixels, uint8_t{255});
  }
  shading::IdentityTables(tables_);
}

int CScanLines::SetCalibrationLine(std::span<const uint8_t> src, unsigned kind) {
  if (kind < kCalibrationKinds) {
    const size_t n = std::min(src.size(), size_t{kMaxPixels});
    std::copy_n(src.begin(), n, calibration_.begin() + kind * size_t{kMaxPixels});
  }
  return 1;
}

std::span<const uint8_t> CScanLines::GetCalibrationLine(unsigned kind) const {
  if (kind >= kCalibrationKinds) return {};
  return {Calibration(kind), size_t{kMaxPixels}};
}

std::span<const uint8_t, 256> CScanLines::GetLookupTable(int plane, int pixel) const {
  plane = std::clamp(plane, 0, kPlanes - 1);
  pixel = std::clamp(pixel, 0, kMaxPixels - 1);
  return std::span<const uint8_t, 256>(
      tables_.data() + (static_cast<size_t>(plane) * kMaxPixels + static_cast<size_t>(pixel)) * 256, 256);
}

int CScanLines::BuildLookupTables(int colour, int weightA, int weightB, int weightC) {
  const int pixels = calibratedPixels_;
  if (pixels < 0 || pixels > kMaxPixels) return 0;
  auto table = [this](int plane, int p) { return std::span<uint8_t, 256>(Table(plane, p), 256); };
  auto black = [this](int channel, int p) { return int{Calibration(BlackKind(channel))[p]}; };
  auto white = [this](int channel, int p) { return shading::WhiteLevel(Calibration(WhiteKind(channel))[p]); };

  if (colour == 1) {
    if (scanType_ != 3) return 0;
    for (int plane = 0; plane < kPlanes; ++plane)
      for (int p = 0; p < pixels; ++p)
        shading::LinearStretch(black(plane + 1, p), white(plane + 1, p), table(plane, p));
    return 1;
  }
  if (colour != 0) return 0;

  switch (scanType_) {
    case 2:
      for (int p = 0; p < pixels; ++p) shading::WhiteGain8(white(0, p), table(0, p));
      return 1;
    case 1:
      // Pixel pairs share one byte; the pair's table is written for both of its pixels. An odd count's
      // last pair reaches one pixel past the calibrated ones, which is still inside the tables.
      for (int p = 0; p < pixels; p += 2) {
        uint8_t low[16];
        uint8_t high[16];
        shading::WhiteGainNibbles(white(0, p), low);
        shading::WhiteGainNibbles(white(0, p + 1), high);
        shading::PairTable(low, high, table(0, p));
        std::copy_n(Table(0, p), 256, Table(0, p + 1));
      }
      return 1;
    case 3:
      for (int p = 0; p < pixels; ++p) {
        if (weightA == kOwnChannelWeight && weightC == kOwnChannelWeight) {
          shading::LinearStretch(black(0, p), white(0, p), table(0, p));
          continue;
        }
        const int64_t w = (int64_t{weightA} * white(1, p) + int64_t{weightB} * white(2, p) +
                           int64_t{weightC} * white(3, p)) /
                          100;
        const int64_t b = (int64_t{weightA} * black(1, p) + int64_t{weightB} * black(2, p) +
                           int64_t{weightC} * black(3, p)) /
                          100;
        // Weights come from a configuration file: keep absurd ones from overflowing the arithmetic.
        constexpr int64_t kLevelLimit = int64_t{1} << 24;
        shading::LinearStretch(
            static_cast<int>(std::clamp(b, -kLevelLimit, kLevelLimit)),
            shading::WhiteLevel(static_cast<int>(std::clamp(w, -kLevelLimit, kLevelLimit))), table(0, p));
      }
      return 1;
    default:
      return 0;
  }
}

int CScanLines::ApplyLookupTables(int reversed, int half, int start, int startReversed, int byteOffset) {
  if (CorrectionMode() != 2) return 0;
  if (!GeometryFits()) return 0;
  const int64_t step = half ? 2 : 1;
  const int64_t offset = half ? byteOffset / 2 : byteOffset;
  const int64_t first = reversed ? startReversed : start;
  const int64_t move = reversed ? -step : step;
  if (offset < 0) return 0;

  switch (bitsPerPixel_) {
    case 8: {
      if (offset + pixelsPerLine_ > bytesPerLine_ || !IndicesFit(first, move, pixelsPerLine_, kMaxPixels))
        return 0;
      for (int i = 0; i < numberOfLines_; ++i) {
        uint8_t* p = Line(i) + offset;
        for (int64_t k = 0; k < pixelsPerLine_; ++k)
          p[k] = Table(0, static_cast<int>(first + move * k))[p[k]];
      }
      return 1;
    }
    case 4: {
      const int64_t bytes = pixelsPerLine_ / 2;
      if (offset + bytes > bytesPerLine_ || !IndicesFit(first, move, 2 * bytes, kMaxPixels)) return 0;
      for (int i = 0; i < numberOfLines_; ++i) {
        uint8_t* p = Line(i) + offset;
        for (int64_t k = 0; k < bytes; ++k) {
          const int64_t current = first + move * 2 * k;
          const uint8_t b = p[k];
          const uint8_t high = Table(0, static_cast<int>(current + move))[b & 0xF0] & 0xF0;
          const uint8_t low = Table(0, static_cast<int>(current))[(b << 4) & 0xF0] >> 4;
          p[k] = static_cast<uint8_t>(high | low);
        }
      }
      return 1;
    }
    case 24: {
      const int64_t planeBytes = bytesPerLine_ / 3;
      if (offset + pixelsPerLine_ > planeBytes || !IndicesFit(first, move, pixelsPerLine_, kMaxPixels))
        return 0;
      for (int i = 0; i < numberOfLines_; ++i) {
        for (int plane = 0; plane < kPlanes; ++plane) {
          uint8_t* p = Line(i) + plane * planeBytes + offset;
          for (int64_t k = 0; k < pixelsPerLine_; ++k)
            p[k] = Table(plane, static_cast<int>(first + move * k))[p[k]];
        }
      }
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace qv6
