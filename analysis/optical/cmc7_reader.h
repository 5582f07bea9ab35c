// Optical CMC-7 reader for 8-bit gray fronts at 300 dpi: the code-line band near the bottom edge, a
// column profile of dark pixels cut into characters of seven bars, each read twice with the
// two-out-of-six code of ISO 1004-2 (from the distances between bar peaks and from the light gaps), weak
// characters re-read between good neighbours and with a lighter threshold; then the code line with one
// confidence digit ('0'..'4') a character, and its merge into the magnetic line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace analysis::optical {

// Feature bits of `Mask`.
inline constexpr int32_t kMaskWidth = 1;
inline constexpr int32_t kMaskQuietLeft = 2;
inline constexpr int32_t kMaskQuietRight = 4;
inline constexpr int32_t kMaskSevenPeaks = 8;
inline constexpr int32_t kMaskHeight = 16;
inline constexpr int32_t kMaskAll = 31;
inline constexpr int32_t kMaskBadCode = 224;

struct OcrCharRecord {
  int32_t xStart = 0, yTop = 0, xEnd = 0, yBottom = 0;
  char cChar = '@';   // from the peak distances
  char second = 0;    // from the gap widths
  int32_t Mask = 0;
  std::array<int32_t, 8> iPeaks{};  // peak columns from x start, then distances to the next peak
  std::array<int32_t, 8> gaps{};    // light columns between each peak and the next
  std::array<int32_t, 8> iMgntd{};  // peak magnitudes
  int32_t peakCount = 0;
  char third = 0;
  int32_t thirdMask = 0;
};

inline constexpr int kMaxRecords = 100;
extern std::array<OcrCharRecord, kMaxRecords> OcrCharRecords;

// The character records of the record's code line: 0..100. 0 for a record that is not 8 bits per pixel
// (8-bit records of any resolution are read), is 225 pixels or less in either side, does not fit its
// buffer, or has no band.
int funcOcrFindCharacters(const uint8_t* record, size_t recordSize);
// The code line and confidence digits into buffers of `room` bytes (at most 79 characters, never more than
// room - 1, and a NUL); always 0.
int funcOcrReadCodeLine(const uint8_t* record, size_t recordSize, char* codeLine, char* confidence, size_t room);
// Repairs the magnetic line's rejects from the optical line into `out` (`room` bytes); the rest of the
// magnetic line is kept when the optical one runs out. 1 when the optical line holds 11 or more good
// characters, else 0.
int funcMicrCombine(const char* magnetic, const char* optical, const char* opticalConfidence, char* out,
                    size_t room, int unused);

// The stages, for tests.
int funcOcrFindBand(const uint8_t* pixels, int width, int height, int* top, int* bottom);
int funcOcrColumnProfile(const uint8_t* pixels, int width, int height, int top, int left, int bottom, int right,
                         int threshold, int32_t* counts);
int funcOcrRowProfile(const uint8_t* pixels, int width, int height, int top, int left, int bottom, int right,
                      int threshold, int32_t* counts);
// Decodes record `index` from its distances and gaps (filled by the caller): 1 when either reading is not '@'.
int funcOcrClassify(int index, int trace);
// The confidence digit of a record.
char OcrConfidenceDigit(const OcrCharRecord& record);

}  // namespace analysis::optical
