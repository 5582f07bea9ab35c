// Helpers of the JPEG compressor tests: synthetic cheque images, one-call compression, a marker walk and
// a canonical form of a stream through libjpeg-turbo's jpegtran, used as an independent oracle.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec/jpeg/jpeg_compressor.h"
#include "testkit/support/scratch_dir.h"

namespace zc::jpeg::testing {

struct Image {
  int width = 0, height = 0;
  int channels = 1;  // 1 gray, 3 R, G, B
  std::vector<uint8_t> pixels;
};

// A deterministic cheque-like picture: light background with a fine pattern, ruled lines, dark text
// blocks, a handwriting stroke and a little noise.
Image MakeCheque(int width, int height, int channels, uint32_t seed = 1);

// Compresses the image in bands of `band_rows` rows. Returns the stream, or nullopt with *code set.
struct EncodeResult {
  int code = 0;
  std::vector<uint8_t> bytes;
};
EncodeResult Encode(const Image& image, JpegCompressSettings settings, int band_rows = 16);
// Settings for the image: gray when it has one channel (palette-free 24-bit input otherwise), with an
// 8-bit gray ramp palette for one-channel images.
JpegCompressSettings SettingsFor(const Image& image, int quality, bool gray, bool progressive);
const uint8_t* GrayRamp();

struct Segment {
  uint8_t marker;
  size_t offset;                 // of the 0xFF
  std::vector<uint8_t> payload;  // without the length field
};
// Walks the marker segments up to the first SOS (inclusive) and every later marker segment between scans.
std::vector<Segment> WalkMarkers(const std::vector<uint8_t>& jpeg);
int CountMarkers(const std::vector<Segment>& segs, uint8_t marker);

// The stream's coefficients and tables in a canonical form: jpegtran -optimize -copy none rewrites the
// same coefficients as one optimised sequential scan, and the JFIF segment is dropped, so two streams
// give equal bytes exactly when their frame, quantisation tables and quantised coefficients are equal.
std::optional<std::vector<uint8_t>> CanonicalCoefficients(const testkit::ScratchDir& dir,
                                                          const std::vector<uint8_t>& jpeg);

}  // namespace zc::jpeg::testing
