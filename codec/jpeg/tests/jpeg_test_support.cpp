// Helpers of the JPEG compressor tests.
#include "codec/jpeg/tests/jpeg_test_support.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"

namespace zc::jpeg::testing {

Image MakeCheque(int width, int height, int channels, uint32_t seed) {
  Image img;
  img.width = width;
  img.height = height;
  img.channels = channels;
  img.pixels.resize(static_cast<size_t>(width) * height * channels);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Guilloche-like background.
      double v = 228 + 14 * std::sin(x * 0.11 + 3 * std::sin(y * 0.05)) * std::cos(y * 0.07);
      int tint[3] = {0, -8, -20};
      // Ruled lines and text blocks.
      if (y % 60 == 45 && x > width / 10 && x < width * 9 / 10) v = 40;
      if ((y / 12) % 5 == 1 && (x / 9) % 7 < 5 && x < width / 2) v = 25 + (x * 7 + y * 3) % 40;
      // A handwriting stroke.
      const double sy = height * 0.5 + height * 0.2 * std::sin(x * 0.03);
      if (std::abs(y - sy) < 2.0 && x > width / 2) {
        v = 20;
        tint[0] = -10;
        tint[1] = -10;
        tint[2] = 60;
      }
      v += noise(rng);
      uint8_t* p = &img.pixels[(static_cast<size_t>(y) * width + x) * channels];
      for (int c = 0; c < channels; ++c) {
        p[c] = static_cast<uint8_t>(std::clamp(static_cast<int>(v) + (channels == 3 ? tint[c] : 0), 0, 255));
      }
    }
  }
  return img;
}

const uint8_t* GrayRamp() {
  static const std::vector<uint8_t> ramp = [] {
    std::vector<uint8_t> p(768);
    for (int i = 0; i < 256; ++i) p[3 * i] = p[3 * i + 1] = p[3 * i + 2] = static_cast<uint8_t>(i);
    return p;
  }();
  return ramp.data();
}

JpegCompressSettings SettingsFor(const Image& image, int quality, bool gray, bool progressive) {
  JpegCompressSettings s;
  s.gray = gray;
  s.progressive = progressive;
  s.width = static_cast<uint16_t>(image.width);
  s.height = static_cast<uint16_t>(image.height);
  s.bits_per_pixel = image.channels == 3 ? 24 : 8;
  s.palette = image.channels == 3 ? nullptr : GrayRamp();
  s.quality = quality;
  return s;
}

EncodeResult Encode(const Image& image, JpegCompressSettings settings, int band_rows) {
  EncodeResult result;
  JpegCompressor c;
  std::vector<uint8_t>& out = result.bytes;
  int rc = c.Start(settings, [&out](const uint8_t* d, size_t n) {
    out.insert(out.end(), d, d + n);
    return n;
  });
  const size_t row_bytes = static_cast<size_t>(image.width) * image.channels;
  for (int y = 0; rc == 0 && y < image.height; y += band_rows) {
    const int end = std::min(image.height, y + band_rows);
    rc = c.WriteRows(0, y, image.width, end, image.pixels.data() + row_bytes * y);
  }
  const int end_rc = c.Finish();
  result.code = rc != 0 ? rc : end_rc;
  return result;
}

std::vector<Segment> WalkMarkers(const std::vector<uint8_t>& jpeg) {
  std::vector<Segment> segs;
  size_t i = 0;
  while (i + 1 < jpeg.size()) {
    if (jpeg[i] != 0xFF) {
      ++i;
      continue;
    }
    const uint8_t m = jpeg[i + 1];
    if (m == 0xFF) {  // fill byte
      ++i;
      continue;
    }
    if (m == 0x00 || (m >= 0xD0 && m <= 0xD7)) {  // stuffed byte or restart marker inside data
      if (m != 0x00) segs.push_back({m, i, {}});
      i += 2;
      continue;
    }
    if (m == 0xD8 || m == 0xD9) {
      segs.push_back({m, i, {}});
      i += 2;
      continue;
    }
    if (i + 3 >= jpeg.size()) break;
    const size_t len = (static_cast<size_t>(jpeg[i + 2]) << 8) | jpeg[i + 3];
    if (len < 2 || i + 2 + len > jpeg.size()) break;
    segs.push_back({m, i, std::vector<uint8_t>(jpeg.begin() + i + 4, jpeg.begin() + i + 2 + len)});
    i += 2 + len;
  }
  return segs;
}

int CountMarkers(const std::vector<Segment>& segs, uint8_t marker) {
  int n = 0;
  for (const Segment& s : segs) n += s.marker == marker;
  return n;
}

std::optional<std::vector<uint8_t>> CanonicalCoefficients(const testkit::ScratchDir& dir,
                                                          const std::vector<uint8_t>& jpeg) {
  static int counter = 0;
  const std::string in = dir.File("canon_in_" + std::to_string(counter) + ".jpg");
  const std::string out = dir.File("canon_out_" + std::to_string(counter++) + ".jpg");
  testkit::WriteFileBytes(in, jpeg);
  if (testkit::RunCommand("jpegtran -optimize -copy none -outfile '" + out + "' '" + in + "'").status != 0) {
    return std::nullopt;
  }
  std::vector<uint8_t> bytes = testkit::ReadFileBytes(out);
  // Drop the JFIF APP0 segment (densities are not coefficients).
  if (bytes.size() > 6 && bytes[2] == 0xFF && bytes[3] == 0xE0) {
    const size_t len = (static_cast<size_t>(bytes[4]) << 8) | bytes[5];
    bytes.erase(bytes.begin() + 2, bytes.begin() + 2 + static_cast<std::ptrdiff_t>(len) + 2);
  }
  return bytes;
}

}  // namespace zc::jpeg::testing
