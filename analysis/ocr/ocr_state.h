// The optical E13B reader's module state and stages: the 1-bit working image at about 200 dpi, the band
// of rows every stage scans, the box table and the results of the last reading. One reading runs at a
// time; the stages are exposed here for the tests that drive them one by one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace analysis::ocr {

// Packed rows, most significant bit leftmost, a set bit is ink, rows back to back.
struct WorkImage {
  uint8_t* buffer = nullptr;
  size_t bytes = 0;  // allocated, margin included
  int32_t width = 0;
  int32_t height = 0;
  int32_t rowBytes = 0;
  int32_t xResolution = 0;
  int32_t yResolution = 0;
};

struct Band {
  int32_t first = 0;
  int32_t end = 0;
};

struct OCRCharBox {
  char ch = 0;  // class, ' ' blank, '@' reject, 0 unclassified
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // inclusive pixel bounds
  int32_t confidence = 0;                           // 0..4
};

inline constexpr int kMaxBoxes = 256;
inline constexpr int kLineRoom = 128;  // code-line and confidence buffers

struct BoxTable {
  std::array<OCRCharBox, kMaxBoxes> boxes{};
  int32_t count = 0;
};

extern WorkImage OCRWorkImage;
extern Band OCRBand;
extern BoxTable OCRBoxTable;
extern std::array<int32_t, kLineRoom> OCRCharRightEdges;
extern int32_t OCRBestX, OCRBestY;
extern int32_t OCRLeftMargin, OCRRightMargin, OCRAmountSymbols;

// The one pixel read of every stage: outside the working image reads white.
inline bool Ink(int32_t x, int32_t y) {
  const WorkImage& w = OCRWorkImage;
  if (w.buffer == nullptr || x < 0 || y < 0 || x >= w.width || y >= w.height) return false;
  return (w.buffer[static_cast<size_t>(y) * static_cast<size_t>(w.rowBytes) + static_cast<size_t>(x >> 3)] &
          (0x80 >> (x & 7))) != 0;
}

// Rows [first, last) that the stages scan, from the band and the image height.
struct BandRows {
  int32_t first;
  int32_t last;
};
BandRows ScanRows();

// Loaders: 0, or the entry points' failure codes.
int funcOCRLoadTiff(const char* name, int page, int option);
int funcOCRLoadRaw(const uint8_t* record, size_t recordSize);
// Allocates a cleared working image of the given geometry plus `margin` bytes: false without memory.
bool AllocateWorkImage(int32_t width, int32_t height, size_t margin);
int funcOCRFreeImage();

int funcOCRRecognize(char* codeLine, char* confidence);
int funcOCRDespeckle(int mode);

// Segmentation.
int funcOCRFindBoxes();
int funcOCRGrowBox(int32_t x, int32_t y, int32_t limit);
void funcOCRKeepConfident();
void funcOCRFillGaps(int mode);
int funcOCRFindLeftChar(OCRCharBox& box, int mode);
int funcOCRFindRightChar(OCRCharBox& box, int mode);
void funcOCRMergeBoxes();
void funcOCRDropOffLineBoxes();

// Classification.
void funcOCRMatchTemplates(OCRCharBox& box);
void funcOCRClassifyDigits();
// The structural test of digit `digit` (0..9) on a box: true when it passes.
bool StructuralTest(int digit, const OCRCharBox& box);

// Post-processing.
void funcOCRTrimEnds();
void funcOCRRepairSymbols();
void funcOCRWriteResult(char* codeLine, char* confidence);
void funcOCRLineStats();
void funcOCRLogResult();
void funcOCRDumpBoxes();

// Digit widths in working pixels, '0'..'9'.
inline constexpr int kDigitWidths[10] = {18, 9, 10, 13, 16, 13, 15, 13, 18, 15};

}  // namespace analysis::ocr
