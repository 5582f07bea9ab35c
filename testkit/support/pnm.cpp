// Netpbm raw formats: a magic number, width, height and (except P4) maxval as decimal tokens separated
// by white space or '#' comments, one white-space byte, then the raster.
#include "testkit/support/pnm.h"

#include <cctype>
#include <fstream>
#include <string>

#include "testkit/support/file_bytes.h"

namespace zc::testkit {
namespace {

constexpr int kMaxSide = 1 << 16;

class HeaderReader {
 public:
  explicit HeaderReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  std::string Token() {
    std::string token;
    while (pos_ < bytes_.size()) {
      const char c = static_cast<char>(bytes_[pos_]);
      if (c == '#' && token.empty()) {
        while (pos_ < bytes_.size() && bytes_[pos_] != '\n') ++pos_;
      } else if (std::isspace(static_cast<unsigned char>(c)) != 0) {
        if (!token.empty()) break;
        ++pos_;
      } else {
        if (token.size() > 8) return {};
        token += c;
        ++pos_;
      }
    }
    return token;
  }
  // A decimal number in 1..max, or 0.
  int Number(int max) {
    const std::string t = Token();
    if (t.empty()) return 0;
    long value = 0;
    for (const char c : t) {
      if (std::isdigit(static_cast<unsigned char>(c)) == 0) return 0;
      value = value * 10 + (c - '0');
      if (value > max) return 0;
    }
    return static_cast<int>(value);
  }
  // Past the single white-space byte that ends the header.
  size_t RasterStart() const { return pos_ + 1; }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

}  // namespace

size_t PnmRasterBytes(PnmFormat format, int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return 0;
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  switch (format) {
    case PnmFormat::kBitmap:
      return (w + 7) / 8 * h;
    case PnmFormat::kGray:
      return w * h;
    case PnmFormat::kColor:
      return w * h * 3;
  }
  return 0;
}

bool WritePnm(const std::filesystem::path& path, PnmFormat format, int width, int height,
              std::span<const uint8_t> raster, int maxval) {
  const size_t size = PnmRasterBytes(format, width, height);
  if (size == 0 || raster.size() != size) return false;
  if (format != PnmFormat::kBitmap && (maxval < 1 || maxval > 255)) return false;
  std::ofstream out(path, std::ios::binary);
  out << (format == PnmFormat::kBitmap ? "P4"
          : format == PnmFormat::kGray ? "P5"
                                       : "P6")
      << "\n"
      << width << " " << height << "\n";
  if (format != PnmFormat::kBitmap) out << maxval << "\n";
  out.write(reinterpret_cast<const char*>(raster.data()), static_cast<std::streamsize>(raster.size()));
  out.close();
  return static_cast<bool>(out);
}

std::optional<PnmImage> ParsePnm(std::span<const uint8_t> bytes) {
  HeaderReader header(bytes);
  PnmImage image;
  const std::string magic = header.Token();
  if (magic == "P4") {
    image.format = PnmFormat::kBitmap;
  } else if (magic == "P5") {
    image.format = PnmFormat::kGray;
  } else if (magic == "P6") {
    image.format = PnmFormat::kColor;
  } else {
    return std::nullopt;
  }
  image.width = header.Number(kMaxSide);
  image.height = header.Number(kMaxSide);
  image.maxval = image.format == PnmFormat::kBitmap ? 1 : header.Number(255);
  const size_t size = PnmRasterBytes(image.format, image.width, image.height);
  if (size == 0 || image.maxval == 0) return std::nullopt;
  const size_t start = header.RasterStart();
  if (start > bytes.size() || bytes.size() - start < size) return std::nullopt;
  image.raster.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                      bytes.begin() + static_cast<std::ptrdiff_t>(start + size));
  return image;
}

std::optional<PnmImage> ReadPnm(const std::filesystem::path& path) {
  return ParsePnm(ReadFileBytes(path));
}

std::vector<uint8_t> UnpackBitmap(const PnmImage& image) {
  if (image.format != PnmFormat::kBitmap) return {};
  const size_t w = static_cast<size_t>(image.width);
  const size_t stride = (w + 7) / 8;
  std::vector<uint8_t> pixels(w * static_cast<size_t>(image.height));
  for (size_t y = 0; y < static_cast<size_t>(image.height); ++y) {
    for (size_t x = 0; x < w; ++x) pixels[y * w + x] = (image.raster[y * stride + x / 8] >> (7 - x % 8)) & 1;
  }
  return pixels;
}

}  // namespace zc::testkit
