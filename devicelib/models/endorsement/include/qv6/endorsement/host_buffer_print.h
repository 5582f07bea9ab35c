// The endorsement path into the host buffer of the later series.
//
// The host buffer is the scanner's print line, uploaded before every start feed: one 16-bit column word
// per print column (rows 0-7 in the first byte, rows 8-11 in the second), 5000 columns in 10000 bytes for
// most series, 4096 in 8192 for the KQv8x. A bitmap is placed from the start column
//   n = position x F / 100,  F = 10, 13, 17, 22, 29, 37, 48, 62 by printer density 0..7,
// at most the last column of the buffer. Normally image column k goes to buffer column n - 1 - k, so the
// image runs backward toward column 0; on models whose sides are mirrored it goes to n - 1 + k. Only
// columns inside the buffer are written, whatever the position, the image or the buffer size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "qv6/endorsement/nozzle_columns.h"
#include "qv6/endorsement/printer_string.h"

namespace qv6::endorsement {

// Print flags: bit 0 clears the whole host buffer before the image is placed.
inline constexpr int kFlagClearBuffer = 1;

// Columns per 100 position units, by printer density.
inline constexpr std::array<int, 8> kDensityColumnFactor = {10, 13, 17, 22, 29, 37, 48, 62};

// The printer density: bits 1-3 of the printer control word (settings block 33).
constexpr int DensityOfPrinterControl(unsigned controlWord) {
  return static_cast<int>((controlWord >> 1) & 7u);
}

struct HostBufferLayout {
  int density = 0;        // 0..7; only the low three bits count
  bool mirrored = false;  // the model's mirrored-sides flag
};

// The start column for a position: position x F / 100 (rounded toward zero), at most columns - 1. It is
// negative for a negative position, and -1 for a buffer without columns.
int64_t StartColumn(int position, int density, size_t columns);

// Places the caller's 1-bit image (bits, width, rows as in nozzle_columns.h) in the host buffer at
// `position`; flags bit 0 clears the buffer first, bit 1 selects the ink-where-set polarity. Returns 1;
// 0 for arguments that describe no image (negative sizes, missing bits), leaving the buffer untouched.
int PrintBitmapToHostBuffer(std::span<uint8_t> hostBuffer, const void* bits, int width, int rows,
                            int position, int flags, HostBufferLayout layout);

// Renders the text with `printer` and places it as PrintBitmapToHostBuffer does, with the polarity of
// flags bit 1 reversed (the rendered bitmap has 1 for ink). The printer object stays available to the
// caller, e.g. to report a missing font.
int PrintTextToHostBuffer(std::span<uint8_t> hostBuffer, PrinterString& printer, const char* text, int length,
                          int position, int flags, HostBufferLayout layout);

// The same with a printer made for this string from the font file `fontName` (empty: the default file).
int PrintTextToHostBuffer(std::span<uint8_t> hostBuffer, std::string_view fontName, const char* text,
                          int length, int position, int flags, HostBufferLayout layout);

}  // namespace qv6::endorsement
