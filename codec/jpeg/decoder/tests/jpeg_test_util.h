// Helpers for the JPEG decoder tests: synthetic images, PNM files of them, and collecting the decoder's
// bands into one picture.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "codec/jpeg/decoder/jpeg_decode.h"
#include "codec/jpeg/decoder/jpeg_error.h"
#include "testkit/support/pnm.h"

namespace zc::jpegdec::test {

struct Image {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<uint8_t> pixels;
};

// A deterministic picture with gradients, hard edges, text-like strokes and noise, so that every
// coefficient band carries energy.
inline Image MakePicture(int w, int h, int channels, uint32_t seed = 1) {
  Image img{w, h, channels, std::vector<uint8_t>(static_cast<size_t>(w) * h * channels)};
  uint32_t s = seed * 2654435761u + 1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      s = s * 1103515245u + 12345u;
      int noise = static_cast<int>((s >> 16) & 31) - 16;
      bool stroke = ((x / 3 + y / 5) % 11 == 0) || (y % 37 == 3) || ((x * x + y * y) % 97 < 4);
      for (int c = 0; c < channels; ++c) {
        int v = (x * (3 + c) + y * (2 + 2 * c)) % 256;
        if (stroke) v = c == 1 ? 20 : 235 - v / 4;
        v += noise;
        img.pixels[(static_cast<size_t>(y) * w + x) * channels + c] =
            static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
  return img;
}

inline void WritePnm(const std::string& path, const Image& img) {
  testkit::WritePnm(path, img.channels == 1 ? testkit::PnmFormat::kGray : testkit::PnmFormat::kColor,
                    img.width, img.height, img.pixels);
}

// An empty image when the file is not a P5 or P6 image.
inline Image ReadPnm(const std::string& path) {
  const std::optional<testkit::PnmImage> pnm = testkit::ReadPnm(path);
  if (!pnm || pnm->format == testkit::PnmFormat::kBitmap) return Image{};
  return Image{pnm->width, pnm->height, pnm->channels(), pnm->raster};
}

struct DecodeResult {
  int error = 0;  // 0 = success
  Image image;    // window-sized; rows not delivered stay 0
  int bands = 0;
  int rows_delivered = 0;
  bool band_order_ok = true;
};

// Decodes `jpeg` and assembles the bands; checks that bands arrive in order, inside the window.
inline DecodeResult DecodeAll(const std::vector<uint8_t>& jpeg, const OutputRequest& req,
                              const StoreFactory& store = {}, int fail_at_band = -1) {
  DecodeResult res;
  int expected_row = 0;
  int width = -1;
  int channels = 1;
  DisplaySink sink = [&](int c0, int r0, int c1, int r1, const uint8_t* rows) -> int {
    if (res.bands == fail_at_band) return 7;
    if (width < 0) {
      width = c1;
      res.image.width = c1;
    }
    if (c0 != 0 || c1 != width || r0 != expected_row || r1 <= r0) res.band_order_ok = false;
    expected_row = r1;
    size_t row_bytes = static_cast<size_t>(c1) * channels;
    res.image.pixels.insert(res.image.pixels.end(), rows, rows + row_bytes * (r1 - r0));
    res.image.height = r1;
    res.rows_delivered = r1;
    ++res.bands;
    return 0;
  };
  MemorySource src(jpeg.data(), jpeg.size());
  try {
    MemorySource info_src(jpeg.data(), jpeg.size());
    JpegInfo info = ReadJpegInfo(info_src);
    bool rgb = info.components > 1 && (req.kind == kKindRgb || req.kind == kKindRgbSwap);
    channels = rgb ? 3 : 1;
    res.image.channels = channels;
    DecodeJpeg(src, req, nullptr, sink, store);
  } catch (const JpegError& e) {
    res.error = e.code;
  }
  return res;
}

struct DiffStats {
  int max = 0;
  double mean = 0;
  bool same_shape = false;
};

inline DiffStats Compare(const Image& a, const Image& b) {
  DiffStats d;
  d.same_shape = a.width == b.width && a.height == b.height && a.channels == b.channels &&
                 a.pixels.size() == b.pixels.size() && !a.pixels.empty();
  if (!d.same_shape) return d;
  long long sum = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    int diff = std::abs(int{a.pixels[i]} - int{b.pixels[i]});
    if (diff > d.max) d.max = diff;
    sum += diff;
  }
  d.mean = static_cast<double>(sum) / static_cast<double>(a.pixels.size());
  return d;
}

}  // namespace zc::jpegdec::test
