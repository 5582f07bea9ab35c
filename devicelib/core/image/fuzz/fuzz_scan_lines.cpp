// Fuzz target over raw scan lines and the geometry a device reports with them. The first 28 bytes set the
// path, orientation, depth, flags, pixels, bytes per line, line count, window, scan type, calibrated
// pixels, table weights and the correction walk; the rest is both the calibration source and the raw line
// buffer, sized exactly so that any read past it is caught. Whatever the geometry, assembly either fails
// with 0 or builds an image that cropping and the conversions can take.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "qv6/image/image_cropping.h"
#include "qv6/image/pic_scan_lines.h"
#include "qv6/image/scan_lines.h"

namespace {

constexpr size_t kHeaderBytes = 28;

int16_t S16(const uint8_t* p) {
  return static_cast<int16_t>(p[0] | (p[1] << 8));
}

template <class Loader>
void Configure(Loader& s, const uint8_t* h, std::vector<uint8_t>& raw) {
  static constexpr int kDepths[] = {4, 8, 24, 1, 0, 16};
  s.SetFormatFlags(static_cast<uint16_t>(h[2] | (h[3] << 8)));
  s.SetBitsPerPixel(kDepths[h[1] % 6]);
  s.SetPixelsPerLine(S16(h + 4));
  s.SetBytesPerRawLine(S16(h + 6));
  s.SetNumberOfLines(S16(h + 8));
  s.SetResolution(h[1] & 0x80 ? 300 : 200);
  s.SetScanType(h[14]);
  s.SetCalibratedPixels(S16(h + 15));
  s.SetLineBuffer(raw.data(), raw.size());
}

void Finish(qv6::CDib& image, const uint8_t* h) {
  if (!image.GetDibPtr()) return;
  qv6::CImageCropping finder;
  qv6::CropToHeight(image, qv6::FindDocumentHeight(finder, image, 200));
  switch (h[17] % 5) {
    case 0:
      image.ThirdSize();
      break;
    case 1:
      image.TwoThirdsSize();
      break;
    case 2:
      image.ConvertTo4Bit();
      break;
    case 3:
      image.DoubleWidthTwoThirdsHeight();
      break;
    default:
      image.ThreeHalvesWidth();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes) return 0;
  const uint8_t* h = data;
  std::vector<uint8_t> raw(data + kHeaderBytes, data + size);
  const int orientation = (h[0] >> 1) & 3;
  const int first = S16(h + 10);
  const int last = S16(h + 12);
  const int reversed = h[21] & 1;
  const int half = (h[21] >> 1) & 1;
  const int start = S16(h + 22);
  const int startReversed = S16(h + 24);
  const int byteOffset = S16(h + 26);
  const std::span<const uint8_t> calibration(data + kHeaderBytes, size - kHeaderBytes);

  if ((h[0] & 1) == 0) {
    qv6::CLoadScanLines s;
    Configure(s, h, raw);
    for (unsigned kind = 0; kind < 8; ++kind)
      s.SetCalibrationLine(calibration.subspan(std::min<size_t>(kind % 2, calibration.size())), kind);
    s.BuildLookupTables(static_cast<int8_t>(h[17]) % 3, static_cast<int8_t>(h[18]),
                        static_cast<int8_t>(h[19]), static_cast<int8_t>(h[20]));
    s.ApplyLookupTables(reversed, half, start, startReversed, byteOffset);
    if (s.BuildImage(orientation, first, last)) Finish(s, h);
  } else {
    qv6::CPICLoadScanLines s;
    Configure(s, h, raw);
    s.SetCalibrationLine(calibration, 1);
    s.SetCalibrationLine(calibration.subspan(calibration.size() / 2), 0);
    s.BuildLookupTables();
    s.ApplyLookupTable(reversed, half, start, startReversed);
    if (s.BuildImage(orientation, first, last)) Finish(s, h);
  }
  return 0;
}
