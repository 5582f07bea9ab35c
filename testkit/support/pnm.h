// Netpbm raw images (P4 bitmap, P5 gray, P6 colour) read and written field by field, for exchanging
// pictures with the netpbm, libjpeg-turbo and ImageMagick tools.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace zc::testkit {

enum class PnmFormat { kBitmap, kGray, kColor };  // P4, P5, P6

struct PnmImage {
  PnmFormat format = PnmFormat::kGray;
  int width = 0;
  int height = 0;
  int maxval = 255;  // 1 for P4; 1..255 for P5 and P6 (one byte a sample)
  // As stored: P4 rows of (width + 7) / 8 bytes, MSB leftmost, set bit = black; P5 one byte a pixel;
  // P6 R, G, B a pixel; rows top first.
  std::vector<uint8_t> raster;

  int channels() const { return format == PnmFormat::kColor ? 3 : 1; }
};

// Raster bytes for the given format and size; 0 when the size is not positive or too large.
size_t PnmRasterBytes(PnmFormat format, int width, int height);

// Header and raster ("P5\n<w> <h>\n255\n" style); false when the raster size does not match or the
// file cannot be written.
bool WritePnm(const std::filesystem::path& path, PnmFormat format, int width, int height,
              std::span<const uint8_t> raster, int maxval = 255);

// Parses P4/P5/P6 with comments in the header; nullopt when malformed, when maxval is outside 1..255
// or the raster is short. Bytes after the raster are ignored.
std::optional<PnmImage> ParsePnm(std::span<const uint8_t> bytes);
std::optional<PnmImage> ReadPnm(const std::filesystem::path& path);

// A P4 raster as one byte a pixel, 1 = black.
std::vector<uint8_t> UnpackBitmap(const PnmImage& image);

}  // namespace zc::testkit
