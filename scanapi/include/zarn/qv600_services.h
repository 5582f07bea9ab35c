// The QV600 back-end's services outside the document cycle (maintenance mode, eject, clearing the track,
// firmware, pocket, franker, magnetic settings) and its endorsement printing: a BMP file, a fixed text, or
// a batch text with a running counter sent before every document, as a string or rendered as a bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zarn {

// ---- Device services ----------------------------------------------------------------------------------
int funcQV600MaintenanceMode(int mode);
int funcQV600EjectDocument(int mode);
int funcQV600ClearDocument();
int funcQV600UpdateFirmware(const char* file);
int VEKSetPocket(int pocket);
// 1, or the mapped error when the franker refused (a device result of 0).
int funcQV600Frank(int a, int b, int c);

// ---- Endorsement printing -------------------------------------------------------------------------------
inline constexpr size_t kBatchTemplateRoom = 120;
inline constexpr size_t kBmpPrintBuffer = 8196;

// Where the pixels of a BMP file read for printing start, and its size.
struct EndorsementBmp {
  size_t bitsOffset = 0;
  int width = 0;
  int height = 0;
};
// Checks the start of a BMP file (at most 8196 bytes read): 0 with `out` filled; -107 nothing read; -120
// not a BMP, a header other than 40 or 12 bytes, more than 16 bits a pixel, an empty side, or pixels
// beyond what was read.
int ParseEndorsementBmp(std::span<const uint8_t> bytes, EndorsementBmp* out);

int funcQV600PrintBMP(const char* file, int position, int flags);
int funcQV600PrintString(const char* text, int position, int flags);
// Templates hold at most one integer conversion (the counter; else -102) and fit 120 bytes (else -122).
int funcQV600BatchPrintString(const char* templ, int position, int flags, int start, int step);
int VEKBatchPrintBMP(const char* templ, int position, int flags, int start, int step, int textHeight, int xOffset,
                     int yOffset, int bold, int italic, const char* font);
int funcSetBatchPrintWrap(int limit, int restart);
int funcGetBatchPrintCounter();
// Prints the batch text with the current counter, then moves it: 1 forward, -1 back, else not.
int BatchPrintString(int mode);
void ResetEndorsementForTests();

}  // namespace zarn
