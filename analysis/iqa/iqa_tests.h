// The image-quality tests on the IQA image, the dispatcher that runs them by a test mask, and the layout
// of the result slots.
#pragma once

#include <cstdint>
#include <span>

namespace analysis::iqa {

// IQATestMask bits.
enum : uint32_t {
  kIqaAutoCrop = 0x1,
  kIqaSpeckle1 = 0x2,
  kIqaSpeckle2 = 0x4,
  kIqaSpeckle3 = 0x8,
  kIqaSpeckle4 = 0x10,
  kIqaDocumentSize = 0x20,
  kIqaSkew = 0x40,
  kIqaCorners = 0x80,
  kIqaSolidLine = 0x100,
  kIqaMicrQuality = 0x200,
  kIqaEndorsement = 0x400,
  kIqaCompressedSize = 0x1000,
  kIqaAmountField = 0x2000,
  kIqaLarField = 0x4000,
  kIqaPayeeField = 0x8000,
  kIqaDateField = 0x10000,
  kIqaSignField = 0x20000,
  kIqaMemoField = 0x40000,
  kIqaDenseAreas = 0x80000,
  kIqaDarkBands = 0x100000,
  kIqaLineAnalysis = 0x200000,
  kIqaContrast = 0x400000,
  kIqaSpeckleMargin = 0x800000,
  kIqaCleanBorders0 = 0x1000000,
  kIqaDoubleTopEdge = 0x2000000,
  kIqaCleanBorders1 = 0x4000000,
  kIqaFieldBits = 0x7E000,
};

// IQAResults slots.
enum IqaSlot : int {
  kSlotCrop = 0,
  kSlotSpeckles = 1,
  kSlotSize = 2,
  kSlotSkew = 3,
  kSlotCornerTL = 4,
  kSlotCornerTR = 5,
  kSlotCornerBL = 6,
  kSlotCornerBR = 7,
  kSlotSolidLine = 8,
  kSlotMicrQuality = 9,
  kSlotBlackPercent = 10,
  kSlotCompressedSize = 11,
  kSlotAmount = 12,
  kSlotLar = 13,
  kSlotPayee = 14,
  kSlotDate = 15,
  kSlotSign = 16,
  kSlotMemo = 17,
  kSlotDenseAreas = 18,
  kSlotDarkBands = 19,
  kSlotLineFlags = 20,
  kSlotContrast = 21,
  kSlotFocus = 22,
  kSlotImageSize = 23,
  kSlotDpi = 24,
  kSlotSkewAngle = 25,
  kSlotDoubleTopEdge = 26,
  kSlotEndorsement = 27,
};
inline constexpr int kIqaResultSlots = 28;
inline constexpr int kIqaTableSlots = 32;

// The skew angle table: entry i = arc tangent of i / 256 in tenths of a degree, rounded up.
int SkewAngle(int index);

// Geometry.
int VerifyDocumentSize();
int VerifySkew(int* angleIndex);
int VerifyCorners(int* tl, int* tr, int* bl, int* br);
int IQAAutoCrop();
int IQADoubleTopEdge();

// Lines and fields.
struct IqaLine {
  int32_t x1, y1, x2, y2;
};
struct IQALineTable {
  IqaLine lines[20];
  int count = 0;
};
IQALineTable& LineTable();
struct IqaBox {
  int32_t left = -1, top = -1, right = -1, bottom = -1;
};
IqaBox& IQADollarBox();
int IQAFindSolidLine();
int IQAFindShortLines(int skew);
int IQAFindAmountBox();
int IQAIsDollarSign(int left, int top, int right, int bottom);
int IQATestAmountField(int x, int y);
int IQATestField(int line, const char* name, int minimum, int leftInset, int rightInset, int shortFlag);
int IQALineAnalysis();
// The field-line step of the dispatcher: classifies the lines and fills slots 12 to 17 for the selected bits.
void IQAFieldLines(uint32_t mask, int32_t* results);

// Speckle, density, MICR grade, endorsement.
int CleanDocument(int maxWidth, int maxHeight, int margin);
int IQABlackPercent();
int IQACountDenseAreas(int minW, int minH, int maxW, int maxH);
int VerifyMICRQuality(const char* codeLine, const char* text2, const char* confidence);
int VerifyEndorsement(int firstRow, int endRow, int charHeight, int minCount);

// The combination flags (`MICRVerifyFlags`) of the last code-line combination, as the verification
// reports them; installed by whoever runs the combination (0 until then).
void SetMicrVerifyFlagsSource(uint32_t (*source)());
uint32_t MicrVerifyFlags();

// Runs the selected tests on the loaded image, fills `results` (28 slots at least) and frees the image.
// Update mode 0 no result image, 1 a TIFF G4 file named `resultName`, 2 an ImageRecord into `resultRecord`.
int TestIQADocument(int update, const char* resultName, std::span<uint8_t> resultRecord, uint32_t mask,
                    int speckleLimit, int minMicrQuality, int cornerLimit, const char* codeLine,
                    const char* text2, const char* confidence, int endFirst, int endEnd, int charHeight,
                    int minCount, int32_t* results);

}  // namespace analysis::iqa
