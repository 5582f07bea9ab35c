// The reader's entry points, its module state and the stages that run around segmentation and
// classification: despeckling and the order of the recognition steps.
#include "analysis/ocr/codeline_ocr.h"

#include <algorithm>
#include <cstring>

#include "analysis/micr/verify_state.h"
#include "analysis/ocr/ocr_state.h"

namespace analysis::ocr {

WorkImage OCRWorkImage;
Band OCRBand;
BoxTable OCRBoxTable;
std::array<int32_t, kLineRoom> OCRCharRightEdges{};
int32_t OCRBestX = 0, OCRBestY = 0;
int32_t OCRLeftMargin = 0, OCRRightMargin = 0, OCRAmountSymbols = 0;

namespace {

constexpr int kMinCharacters = 5;

// Bit order reversed, for turning the image through 180 degrees.
constexpr std::array<uint8_t, 256> MakeReversal() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    int v = 0;
    for (int b = 0; b < 8; ++b) v |= ((i >> b) & 1) << (7 - b);
    t[static_cast<size_t>(i)] = static_cast<uint8_t>(v);
  }
  return t;
}
constexpr std::array<uint8_t, 256> kReversed = MakeReversal();

void ClearInk(int32_t x, int32_t y) {
  WorkImage& w = OCRWorkImage;
  w.buffer[static_cast<size_t>(y) * static_cast<size_t>(w.rowBytes) + static_cast<size_t>(x >> 3)] &=
      static_cast<uint8_t>(~(0x80 >> (x & 7)));
}

int Fail(int result) {
  funcOCRFreeImage();
  ++MICRVerifyCounters.OcrFailures;
  return result;
}

// Byte N - 1 - i gets byte i reversed, eight bytes a step, while the read index is below the write index.
void TurnLowerHalf() {
  WorkImage& w = OCRWorkImage;
  const size_t n = static_cast<size_t>(w.rowBytes) * static_cast<size_t>(w.height);
  for (size_t i = 0; n > 0 && i < n - 1 - i; i += 8) {
    for (size_t k = 0; k < 8 && i + k < n; ++k) w.buffer[n - 1 - i - k] = kReversed[w.buffer[i + k]];
  }
}

int ReadRaw(const uint8_t* record, size_t recordSize, char* codeLine, char* confidence, bool rotated) {
  ++MICRVerifyCounters.OcrCalls;
  const int loaded = funcOCRLoadRaw(record, recordSize);
  if (loaded != 0) return Fail(loaded);
  if (rotated) TurnLowerHalf();
  return funcOCRRecognize(codeLine, confidence);
}

}  // namespace

BandRows ScanRows() {
  const int32_t h = OCRWorkImage.height;
  BandRows rows{};
  if (OCRBand.first >= OCRBand.end) {
    rows = {h - OCRWorkImage.yResolution / 2, h};
  } else if (OCRBand.first < 0) {
    rows = {h + OCRBand.first, h};
  } else {
    rows = {OCRBand.first, std::min(OCRBand.end, h)};
  }
  rows.first = std::max(rows.first, 0);
  return rows;
}

int funcSetOCRBand(int first, int end) {
  OCRBand = {first, end};
  return 0;
}

int funcOCRDespeckle(int mode) {
  const BandRows rows = ScanRows();
  for (int32_t y = rows.first; y < rows.last - 1; ++y) {
    for (int32_t x = 1; x <= OCRWorkImage.width - 2; ++x) {
      if (!Ink(x, y) || Ink(x, y - 1) || Ink(x - 1, y) || Ink(x + 1, y)) continue;
      if (mode == 0 && Ink(x, y + 1)) continue;
      ClearInk(x, y);
    }
  }
  return 0;
}

int funcOCRRecognize(char* codeLine, char* confidence) {
  codeLine[0] = 0;
  confidence[0] = 0;
  funcOCRDespeckle(1);
  funcOCRFindBoxes();
  funcOCRClassifyDigits();
  funcOCRKeepConfident();
  if (OCRBoxTable.count < kMinCharacters) return Fail(6);
  funcOCRFillGaps(0);
  funcOCRMergeBoxes();
  funcOCRDropOffLineBoxes();
  funcOCRFillGaps(1);
  funcOCRMergeBoxes();
  funcOCRTrimEnds();
  funcOCRRepairSymbols();
  funcOCRWriteResult(codeLine, confidence);
  funcOCRLineStats();
  funcOCRFreeImage();
  return 0;
}

int funcOCRTiffImage(const char* name, int page, int option, char* codeLine, char* confidence) {
  ++MICRVerifyCounters.OcrCalls;
  const int loaded = funcOCRLoadTiff(name, page, option);
  if (loaded != 0) return Fail(loaded);
  return funcOCRRecognize(codeLine, confidence);
}

int funcOCRRawImage(const uint8_t* record, size_t recordSize, char* codeLine, char* confidence) {
  return ReadRaw(record, recordSize, codeLine, confidence, false);
}

int funcOCRRawImageRotated(const uint8_t* record, size_t recordSize, char* codeLine, char* confidence) {
  return ReadRaw(record, recordSize, codeLine, confidence, true);
}

}  // namespace analysis::ocr
