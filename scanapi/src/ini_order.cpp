#include "ini_order.h"

namespace zarn::ini_order {
namespace {

constexpr int kReader[] = {
    51,  61,  62,  63,  64,  65,  66,  67,  68,  69,  70,  55,  47,  3,   4,   31,  32,
    7,   1,   2,   107, 14,  71,  72,  73,  74,  75,  76,  77,  78,  79,  49,  39,  80,
    81,  82,  kSorterString1, kSorterString2, 84, 85, 86, 140, 87, 141, 88, 89, 90, 91, 33,
    kPrintFile, kFontFile, 54, 42, 43, 23, 45, 6, 11, 12, 36, 37, 19, 21, 20, 22, 93, 94, 96,
    95,  97,  104, 115, 134, 139, 105, 106, 98,  133, 108, 109, 110, 111, 116, 117, 142, 118,
    143, 144, 145, 146, 147, 148, 149, 150, 151, 152, 153, 154, 155, 156, 192, 200, kFerloPath,
    kExpectList, 157, 165, 162, 166, 163, 164, 168, 171, 179, 180, 181, 183, 191, 193, 194, 196,
    197, 198, 199, 186, 188, 187, 184, 185, 195, 189, 190, 182, kKelvoJpeg, 160, 161,
};

constexpr int kReaderQv600[] = {119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 132};

constexpr int kWriter[] = {
    kSectionScsi, 101, 103, 102,
    kSectionAcq, 55, 47, 3, 4, 31, 32, kDoubleFeedAsThickness, 1, 2, 107, 14, 71, 72, 73, 74, 75, 76, 77,
    78, 79, 49, 39, 80, 81, kSorterString1, kSorterString2, 84, 85, 86, 140, 87, 141, 88, 89, 90, 91, 33,
    kPrintString, kPrintFile, kFontFile, 54, 42, 43, 23, 45, 6, 11, 12, 36, 37, 19, 21, 20, 22, 94, 96, 95,
    97, 104, 106,
    kSectionLight, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70,
    kSectionAcq, 51, 98, 133, 108, 110, 111, 116, 118,
    kSectionQv600, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 132,
    kSectionVek, 146, 147, 148, 149, 150, 151, 152, 153, 154, 155, 156, 192,
    kSectionAcq, 165, 166, 168, 179, 180, 184, 160, kDoubleFeedAsDetect, 109,
};

}  // namespace

std::span<const int> ReaderSteps() { return kReader; }
std::span<const int> ReaderQv600Ids() { return kReaderQv600; }
std::span<const int> WriterSteps() { return kWriter; }

}  // namespace zarn::ini_order
