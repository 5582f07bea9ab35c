// CImageCropping finds how many rows of an assembled side, counted from the first stored row, belong to
// the document. The line sensor is longer than a cheque is high, so the rows stored last hold dark
// background; the search walks down from the last stored row two rows at a time through background and one
// at a time through candidate document rows, and accepts the document edge after more than 2 mm of
// consecutive rows that each hold a bright run longer than 2 mm.
#pragma once

#include <cstdint>

namespace qv6 {

class CDib;

class CImageCropping {
 public:
  CImageCropping() = default;
  virtual ~CImageCropping() = default;

  // Height to keep of an image whose rows (storage order, bytesPerLine apart; 0: computed from the width)
  // start at bits. Resolutions in pixels per metre. Only 4-, 8- and 24-bit images are searched; any other
  // depth, an image lower than 3 rows, or a row length too short for the width keeps the full height.
  unsigned FindDocument(const uint8_t* bits, unsigned width, unsigned height, int pixelsPerMetreX,
                        int pixelsPerMetreY, int bitsPerPixel, int bytesPerLine);

  // The bright run and the row count of the last search, in pixels and rows.
  unsigned GetRunLength() const { return runLength_; }
  unsigned GetRowCount() const { return rowCount_; }

 private:
  bool IsDocumentRow(const uint8_t* row, unsigned width, int bitsPerPixel) const;

  unsigned runLength_ = 0;
  unsigned rowCount_ = 0;
  unsigned threshold_ = 64;
  int coarseStep_ = 2;
  int fineStep_ = 1;
  int runTenthsMm_ = 20;
  int rowsTenthsMm_ = 20;
};

// Resolution as the families pass it to FindDocument: dpi * 10000 / 254 pixels per metre.
int CroppingPixelsPerMetre(int dpi);

// Document height of an image searched at the given resolution (0 without image).
unsigned FindDocumentHeight(CImageCropping& finder, const CDib& image, int dpi);

// Cuts an image to a found height with Crop(0, 0, 0, height).
int CropToHeight(CDib& image, unsigned height);

// Crops the two sides of one document to the larger of their two document heights, so both sides keep
// the same height. A side without image is left alone. Returns 1 when every present side was cropped.
int CropBothSides(CImageCropping& frontFinder, CDib& front, int frontDpi, CImageCropping& rearFinder,
                  CDib& rear, int rearDpi);

}  // namespace qv6
