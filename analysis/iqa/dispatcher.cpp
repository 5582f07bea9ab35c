// TestIQADocument: runs the tests a mask selects on the loaded image in a fixed order, fills the result
// slots, decides which tests failed, optionally cleans and writes the result image, and frees the image.
#include <algorithm>

#include "analysis/iqa/iqa_image.h"
#include "analysis/iqa/iqa_tests.h"

namespace analysis::iqa {

int TestIQADocument(int update, const char* resultName, std::span<uint8_t> resultRecord, uint32_t mask,
                    int speckleLimit, int minMicrQuality, int cornerLimit, const char* codeLine,
                    const char* text2, const char* confidence, int endFirst, int endEnd, int charHeight,
                    int minCount, int32_t* results) {
  LogAt(1, "TestIQADocument(iUpdate %d, Test %x, Specs %d, MMQ %d, Corner %d", update, mask, speckleLimit,
        minMicrQuality, cornerLimit);
  int32_t scratch[kIqaTableSlots] = {};
  if (results == nullptr) results = scratch;
  IQAImage& im = Image();
  if (!im.held()) return 0;
  if (im.xDpi > 0) {
    results[kSlotImageSize] = ((im.width * 10) / im.xDpi) * 256 + (im.height * 10) / im.xDpi;
    results[kSlotDpi] = im.xDpi;
  }
  results[kSlotSkewAngle] = 0;
  std::fill(results, results + 21, 0);
  LineTable().count = 0;
  int flags = 0;

  if (mask & kIqaAutoCrop) {
    results[kSlotCrop] = IQAAutoCrop();
    if (results[kSlotCrop] > 0) flags |= kIqaAutoCrop;
  }
  int speckle = 0;
  if (mask & kIqaSpeckle4)
    speckle = 4;
  else if (mask & kIqaSpeckle3)
    speckle = 3;
  else if ((mask & kIqaSpeckle2) && update != 0 && im.yDpi == 300)
    speckle = 3;
  else if (mask & kIqaSpeckle2)
    speckle = 2;
  else if (mask & kIqaSpeckle1)
    speckle = 1;
  if (speckle != 0) {
    results[kSlotSpeckles] = CleanDocument(speckle, speckle, (mask & kIqaSpeckleMargin) != 0 ? 1 : 0);
    if (results[kSlotSpeckles] >= speckleLimit) flags |= kIqaSpeckle1;
  }
  if (mask & kIqaDocumentSize) {
    results[kSlotSize] = VerifyDocumentSize();
    if (results[kSlotSize] < 0) flags |= kIqaDocumentSize;
  }
  if (mask & kIqaSkew) {
    int angleIndex = 0;
    results[kSlotSkew] = VerifySkew(&angleIndex);
    int angle = 0;
    if (results[kSlotSkew] >= 16) {
      results[kSlotSkew] = IQAFindShortLines(results[kSlotSkew]);
      if (results[kSlotSkew] > 16) flags |= kIqaSkew;
    }
    if (results[kSlotSkew] >= 16) angle = SkewAngle(angleIndex);
    if (angle != 0) LogAt(1, "Skew %d Angle Skew %d", results[kSlotSkew], angle);
    results[kSlotSkewAngle] = angle;
  }
  if (mask & kIqaCorners) {
    const int largest = VerifyCorners(&results[kSlotCornerTL], &results[kSlotCornerTR],
                                      &results[kSlotCornerBL], &results[kSlotCornerBR]);
    if (largest >= cornerLimit) flags |= kIqaCorners;
  }
  if (mask & kIqaSolidLine) {
    results[kSlotSolidLine] = IQAFindSolidLine();
    if (results[kSlotSolidLine] != 0) flags |= kIqaSolidLine;
  }
  if (mask & kIqaMicrQuality) {
    results[kSlotMicrQuality] = VerifyMICRQuality(codeLine, text2, confidence);
    if (results[kSlotMicrQuality] < minMicrQuality) flags |= kIqaMicrQuality;
  }
  if (mask & kIqaEndorsement)
    results[kSlotEndorsement] = VerifyEndorsement(endFirst, endEnd, charHeight, minCount);
  results[kSlotBlackPercent] = IQABlackPercent();
  if (mask & kIqaCompressedSize) results[kSlotCompressedSize] = im.compressedSize;
  if (mask & kIqaFieldBits) {
    if (flags & (kIqaSpeckle1 | kIqaSkew)) {
      std::fill(results + kSlotAmount, results + kSlotMemo + 1, -1);
    } else {
      IQAFieldLines(mask, results);
    }
  }
  if (mask & kIqaDenseAreas)
    results[kSlotDenseAreas] = IQACountDenseAreas(im.xDpi / 2, im.yDpi / 2, im.width, im.height);
  if (mask & kIqaDarkBands)
    results[kSlotDarkBands] = IQACountDenseAreas(3 * im.xDpi, im.yDpi / 4, im.width, im.yDpi);
  if (mask & kIqaLineAnalysis) results[kSlotLineFlags] = IQALineAnalysis();
  results[kSlotDoubleTopEdge] = (mask & kIqaDoubleTopEdge) ? IQADoubleTopEdge() : -1;
  if (update != 0 && flags == 0) {
    if (mask & kIqaCleanBorders0) IQACleanBorders(0);
    if (mask & kIqaCleanBorders1) IQACleanBorders(1);
  }
  bool written = false;
  if (update > 1) {
    IQAWriteResultImage(resultRecord, nullptr, update);
  } else {
    IQAWriteResultImage({}, resultName, update, &written);
  }
  if ((mask & kIqaCompressedSize) && update != 0) {
    // A result file that could not be written has no size to report.
    const bool wantedFile = update == 1 && resultName != nullptr && resultName[0] != '\0';
    results[kSlotCompressedSize] = wantedFile && !written ? -1 : im.compressedSize;
  }
  return flags;
}

}  // namespace analysis::iqa
