// Fuzz target over raw scan lines and the geometry a device reports with them. The first 32 bytes set
// every field (16-bit values little-endian):
//   0 path (bit 0), orientation (bits 1-2)      1 depth (bits 0-2), crop resolution (bits 3-4)
//   2 format flags                               4 pixels per line      6 bytes per line   8 lines
//   10 first, 12 last pixel of the window        14 scan type           15 calibrated pixels
//   17 conversion after assembly                 18-20 table weights    21 reversed (bit 0), half (bit 1)
//   22 start, 24 reversed start, 26 byte offset of the correction walk  28 resolution
//   30 step between the calibration lines' starts in the input
//   31 table colour (first path); black line's start and kind (second path)
// The rest is both the calibration source and the raw line buffer, sized exactly so that any read past
// it is caught. Whatever the geometry, assembly either fails with 0 or builds an image that cropping and the
// conversions can take.
//
// Table building costs time per calibrated pixel, so the calibrated pixel count is kept to what the input
// supplies calibration bytes for (values outside the tables still go through as given).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "qv6/image/image_cropping.h"
#include "qv6/image/pic_scan_lines.h"
#include "qv6/image/scan_lines.h"

namespace {

constexpr size_t kHeaderBytes = 32;

int16_t S16(const uint8_t* p) {
  return static_cast<int16_t>(p[0] | (p[1] << 8));
}

int CalibratedPixels(const uint8_t* h, size_t calibrationBytes, int maxPixels) {
  const int asked = S16(h + 15);
  if (asked < 0 || asked > maxPixels) return asked;
  return static_cast<int>(std::min<size_t>(static_cast<size_t>(asked), calibrationBytes + 2));
}

template <class Loader>
void Configure(Loader& s, const uint8_t* h, std::vector<uint8_t>& raw, int maxPixels) {
  static constexpr int kDepths[] = {4, 8, 24, 1, 0, 16, 32, -8};
  s.SetFormatFlags(static_cast<uint16_t>(h[2] | (h[3] << 8)));
  s.SetBitsPerPixel(kDepths[h[1] & 7]);
  s.SetPixelsPerLine(S16(h + 4));
  s.SetBytesPerRawLine(S16(h + 6));
  s.SetNumberOfLines(S16(h + 8));
  s.SetResolution(S16(h + 28));
  s.SetScanType(h[14]);
  s.SetCalibratedPixels(CalibratedPixels(h, raw.size(), maxPixels));
  s.SetLineBuffer(raw.data(), raw.size());
}

// A calibration line from the input, starting where the header byte says.
std::span<const uint8_t> CalibrationFrom(std::span<const uint8_t> source, uint8_t start) {
  return source.subspan(std::min<size_t>(start, source.size()));
}

void Finish(qv6::CDib& image, const uint8_t* h) {
  if (!image.GetDibPtr()) return;
  static constexpr unsigned kCropDpi[] = {200, 100, 300, 0};
  qv6::CImageCropping finder;
  qv6::CropToHeight(image, qv6::FindDocumentHeight(finder, image, kCropDpi[(h[1] >> 3) & 3]));
  switch (h[17] % 6) {
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
    case 4:
      image.ThreeHalvesWidth();
      break;
    default:
      break;
  }
}

// A loader's tables take megabytes, and fresh pages for them on every run would cost far more than the
// run itself; so each path keeps one loader and hands it back in the state of a new one. Runs stay
// reproducible: the calibration lines go back to their defaults (black 0, white 255) and the tables a run
// built go back to the identity, which a white-only gain of full scale (second path) or a stretch from 0
// to 255 (first path) is.
int gBuiltPixels[2] = {};  // tables (from pixel 0) the last run of each path may have built

void NoteBuilt(int calibrated, int maxPixels) {
  const int path = maxPixels == qv6::CScanLines::kMaxPixels ? 0 : 1;
  // The pair tables of scan type 1 reach one pixel past the calibrated ones.
  if (calibrated >= 0 && calibrated <= maxPixels) gBuiltPixels[path] = std::min(calibrated + 1, maxPixels);
}

void Restore(qv6::CLoadScanLines& s) {
  static const std::vector<uint8_t> kBlack(qv6::CScanLines::kMaxPixels, 0);
  static const std::vector<uint8_t> kWhite(qv6::CScanLines::kMaxPixels, 255);
  for (unsigned kind = 0; kind < 8; ++kind) s.SetCalibrationLine(kind % 2 ? kWhite : kBlack, kind);
  if (gBuiltPixels[0] > 0) {
    s.SetCalibratedPixels(gBuiltPixels[0]);
    s.SetScanType(3);
    s.BuildLookupTables(1, 0, 0, 0);
    gBuiltPixels[0] = 0;
  }
}

void Restore(qv6::CPICLoadScanLines& s) {
  static const std::vector<uint8_t> kBlack(qv6::CPICScanLines::kMaxPixels, 0);
  static const std::vector<uint8_t> kWhite(qv6::CPICScanLines::kMaxPixels, 255);
  s.SetCalibrationLine(kWhite, 1);
  s.SetCalibrationLine(kBlack, 0);
  if (gBuiltPixels[1] > 0) {
    s.SetCalibratedPixels(gBuiltPixels[1]);
    s.SetScanType(2);
    s.BuildLookupTables();
    gBuiltPixels[1] = 0;
  }
}

template <class Loader>
Loader& Pristine() {
  static Loader* loader = new Loader();
  Restore(*loader);
  return *loader;
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
    qv6::CLoadScanLines& s = Pristine<qv6::CLoadScanLines>();
    Configure(s, h, raw, qv6::CScanLines::kMaxPixels);
    // Kinds 8 and 9 do not exist and must be ignored.
    for (unsigned kind = 0; kind < 10; ++kind)
      s.SetCalibrationLine(CalibrationFrom(calibration, static_cast<uint8_t>(h[30] * kind)), kind);
    NoteBuilt(s.GetCalibratedPixels(), qv6::CScanLines::kMaxPixels);
    s.BuildLookupTables(static_cast<int8_t>(h[31]) % 3, static_cast<int8_t>(h[18]),
                        static_cast<int8_t>(h[19]), static_cast<int8_t>(h[20]));
    s.ApplyLookupTables(reversed, half, start, startReversed, byteOffset);
    if (s.BuildImage(orientation, first, last)) Finish(s, h);
  } else {
    qv6::CPICLoadScanLines& s = Pristine<qv6::CPICLoadScanLines>();
    Configure(s, h, raw, qv6::CPICScanLines::kMaxPixels);
    s.SetCalibrationLine(CalibrationFrom(calibration, h[30]), 1);
    s.SetCalibrationLine(CalibrationFrom(calibration, h[31]), h[31] & 1 ? 0 : 2);
    NoteBuilt(s.GetCalibratedPixels(), qv6::CPICScanLines::kMaxPixels);
    s.BuildLookupTables();
    s.ApplyLookupTable(reversed, half, start, startReversed);
    if (s.BuildImage(orientation, first, last)) Finish(s, h);
  }
  return 0;
}
