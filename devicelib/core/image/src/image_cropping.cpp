// Document search of CImageCropping and the side-cropping helpers built on it.
#include "qv6/image/image_cropping.h"

#include <algorithm>
#include <climits>

#include "qv6/image/dib.h"

namespace qv6 {
namespace {

// A resolution-derived length in pixels: pixelsPerMetre * tenths of a millimetre / 10000.
unsigned LengthInPixels(int pixelsPerMetre, int tenthsMm) {
  return static_cast<unsigned>(std::max<int64_t>(int64_t{pixelsPerMetre} * tenthsMm / 10000, 0));
}

int64_t RowBytesFor(unsigned width, int bitsPerPixel) {
  const int64_t w = width;
  switch (bitsPerPixel) {
    case 4:
      return ((w + 7) / 2) & ~int64_t{3};
    case 8:
      return (w + 3) & ~int64_t{3};
    case 24:
      return (3 * w + 3) & ~int64_t{3};
    default:
      return ((w + 31) / 8) & ~int64_t{3};
  }
}

}  // namespace

bool CImageCropping::IsDocumentRow(const uint8_t* row, unsigned width, int bitsPerPixel) const {
  unsigned count = 0;
  switch (bitsPerPixel) {
    case 8:
      for (unsigned x = 0; x < width; ++x) {
        count = row[x] > threshold_ ? count + 1 : 0;
        if (count > runLength_) return true;
      }
      return false;
    case 24:
      for (unsigned x = 0; x < width; ++x) {
        const uint8_t* px = row + size_t{3} * x;
        const bool dark = px[0] <= threshold_ && px[1] <= threshold_ && px[2] <= threshold_;
        count = dark ? 0 : count + 1;
        if (count > runLength_) return true;
      }
      return false;
    default: {
      // Two pixels a byte against the threshold scaled to a nibble.
      const unsigned nibbleThreshold = threshold_ >> 4;
      for (unsigned x = 0; x < width / 2; ++x) {
        const unsigned high = row[x] >> 4;
        const unsigned low = row[x] & 0x0F;
        if (high > nibbleThreshold)
          count = low > nibbleThreshold ? count + 2 : 1;
        else
          count = 0;
        if (count > runLength_) return true;
      }
      return false;
    }
  }
}

unsigned CImageCropping::FindDocument(const uint8_t* bits, unsigned width, unsigned height,
                                      int pixelsPerMetreX, int pixelsPerMetreY, int bitsPerPixel,
                                      int bytesPerLine) {
  runLength_ = LengthInPixels(pixelsPerMetreX, runTenthsMm_);
  rowCount_ = LengthInPixels(pixelsPerMetreY, rowsTenthsMm_);
  if (bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24) return height;
  const int64_t needed = RowBytesFor(width, bitsPerPixel);
  const int64_t stride = bytesPerLine == 0 ? needed : bytesPerLine;
  // The walk starts at the last row: too few rows, no pixels or rows too short for the width leave
  // nothing to search safely.
  if (!bits || height < 3 || stride < needed) return height;

  int64_t f = int64_t{height} - 1;
  unsigned documentRows = 0;
  // Rows too narrow to hold a run longer than the run length are all background: the walk would only
  // step down two rows at a time, so take where it ends instead of walking a possibly huge height.
  const int64_t pixelsWalked = bitsPerPixel == 4 ? int64_t{width / 2} * 2 : int64_t{width};
  if (pixelsWalked <= runLength_ && f > coarseStep_) {
    const int64_t rest = (f - coarseStep_) % coarseStep_;
    f = rest == 0 ? coarseStep_ : rest;
  }
  while (f > coarseStep_) {
    if (IsDocumentRow(bits + f * stride, width, bitsPerPixel)) {
      if (++documentRows > rowCount_) break;
      f -= fineStep_;
    } else {
      documentRows = 0;
      f -= coarseStep_;
    }
  }
  const int64_t keep = f + int64_t{fineStep_} * rowCount_ + coarseStep_ + 1;
  return static_cast<unsigned>(std::min<int64_t>(height, keep));
}

int CroppingPixelsPerMetre(int dpi) {
  return static_cast<int>(std::clamp<int64_t>(int64_t{dpi} * 10000 / 254, INT_MIN, INT_MAX));
}

unsigned FindDocumentHeight(CImageCropping& finder, const CDib& image, int dpi) {
  const uint8_t* bits = image.GetBits();
  if (!bits || image.GetWidth() < 0 || image.GetHeight() < 0) return 0;
  const int ppm = CroppingPixelsPerMetre(dpi);
  return finder.FindDocument(bits, static_cast<unsigned>(image.GetWidth()),
                             static_cast<unsigned>(image.GetHeight()), ppm, ppm, image.GetBitCount(),
                             image.GetBytesPerLine());
}

int CropToHeight(CDib& image, unsigned height) {
  return image.Crop(0, 0, 0, static_cast<int>(std::min<unsigned>(height, INT_MAX)));
}

int CropBothSides(CImageCropping& frontFinder, CDib& front, int frontDpi, CImageCropping& rearFinder,
                  CDib& rear, int rearDpi) {
  const bool hasFront = front.GetBits() != nullptr;
  const bool hasRear = rear.GetBits() != nullptr;
  const unsigned frontHeight = hasFront ? FindDocumentHeight(frontFinder, front, frontDpi) : 0;
  const unsigned rearHeight = hasRear ? FindDocumentHeight(rearFinder, rear, rearDpi) : 0;
  const unsigned height = std::max(frontHeight, rearHeight);
  int ok = 1;
  if (hasFront && !CropToHeight(front, height)) ok = 0;
  if (hasRear && !CropToHeight(rear, height)) ok = 0;
  return ok;
}

}  // namespace qv6
