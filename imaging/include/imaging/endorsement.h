// Endorsement text rendered into 1-bit rasters: the endorsement canvas (a picture of 16 or 24 rows the
// ink-jet printing sends to the scanner and the demonstration writes as a BMP file) and the virtual
// endorsement printed straight into a scanned record. Text comes from the text rasterizer.
//
// The canvas is one per process and guards its state with a lock: the API draws on it from its polling
// thread while the caller may start or finish it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "imaging/dib_block.h"

namespace zc::imaging {

// Canvas and renderer results.
inline constexpr int kEndorseTypeUnsupported = -701;
inline constexpr int kEndorseCanvasState = -702;  // a canvas exists, none exists, or no memory
inline constexpr int kEndorseTurnFailed = -703;
inline constexpr int kEndorseWriteFailed = -704;
inline constexpr int kEndorseDrawFailed = -706;

// Creates the canvas for scanner type `type`: `width` when above 100, else 200, rounded up to a multiple of
// 32; 16 or 24 rows by type. 1; -702 while a canvas exists; -701 for an unknown type.
int CheckEndorsementStart(int type, int width);
// Draws the text (lines cut at runs of CR and LF, at most 255 characters) at (x, y) in the current style;
// rows above the canvas are clipped. 1, or -706 without a canvas.
int CheckEndorsementText(int type, int height, int x, int y, int bold, int italic, const char* face,
                         const char* text);
// Doubles the width of the left half of every row (the right half drops out). 0, or -702 without a canvas.
int CheckEndorsementStretch(int unused);
// Inverts the canvas: the bytes covering the last text width when `textOnly` is not 0 and that width lies
// inside the canvas, else all of it. 0, or -702 without a canvas.
int CheckEndorsementInvert(int textOnly);
// Finishes the canvas for `type` (lowering, quarter turn, inversion) and writes it as a 1-bit BMP at
// 200 dpi; the canvas is freed. 1; -701 (canvas kept); -703; -704 without a canvas or when writing fails.
int CheckEndorsementEnd(int type, const char* file);
// The same, returned as a packed 1-bit DIB with the palette black, white; nothing without a canvas or for
// an unknown type (the canvas then stays).
std::optional<DibBlock> CheckEndorsementEndhDIB(int type);
// Fill style of the next canvas text: 0 solid, 1..4 thinned, 8 and above outlined. 0.
int funcSetEndorsementStyle(int style);

// Canvas geometry, for the callers that send it on (0 x 0 without a canvas).
struct EndorsementCanvasInfo {
  int width = 0;
  int rows = 0;
  int textWidth = 0;
  int textHeight = 0;
};
EndorsementCanvasInfo EndorsementCanvasState();

// Writes raw rows (top first, unpadded) of 1, 4 or 8 bits per pixel as a BMP file with a gray palette.
// 0; -202 when the file cannot be created or the depth is not 1, 4 or 8; -201 without memory; -203 on a
// short write.
int RawToBMP(const char* file, const void* raw, int width, int height, int bitsPerPixel, int xDpi, int yDpi);

// Thins packed 1-bit ink (rows of `stride` bytes) by style s: s mod 8 of 1..4 keeps the pattern of the
// style, 0 and 5..7 clear the ink; s >= 8 then draws an outline of s / 8 pixels from the original ink.
void ApplyEndorsementStyle(uint8_t* bits, size_t stride, int rows, int style);

// Prints the text into a 1-, 4-, 8- or 24-bit record at (x, y) (negative values count from the right and
// bottom edges) in the colour given, turned by `angle`: 0 upright, 90 (or 1) a quarter turn clockwise,
// 180 (or 2) a half turn, 270 (or 3) a quarter turn counter-clockwise. 0; -125 when no scanner type is
// known; -102 for text narrower than a pixel, another angle or a record that does not fit its buffer;
// -702 without memory.
int VEKVirtualEndorsement(std::span<uint8_t> record, const char* text, int height, int x, int y, int bold,
                          int italic, int angle, int style, uint8_t red, uint8_t green, uint8_t blue,
                          const char* face);

}  // namespace zc::imaging
