// PrinterString: renders endorsement text with the ink-jet font into a 12-row, 1-bit bitmap.
//
// Every series that prints uses it: the first series turns the bitmap into its endorsement block, the
// others into their printer buffers (Qv62xPrinterString is the same class). Each object loads the font
// when it is made, so a changed font file takes effect with the next string.
//
// The bitmap has 12 rows of RowBytes(columns) bytes (rows padded to 32 bits); in each byte the leftmost
// column is the most significant bit, and a 1 is ink. Each character takes 10 columns; at most 815
// characters are rendered (8150 columns, rows of 1020 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "qv6/endorsement/ink_jet_font.h"

namespace qv6::endorsement {

class PrinterString {
 public:
  static constexpr size_t kBitmapBytes = 16384;
  // Glyph bytes are gathered while fewer than this many are held, so the last character may pass it.
  static constexpr size_t kGlyphByteLimit = 16284;
  static constexpr int kMaxCharacters =
      static_cast<int>((kGlyphByteLimit + InkJetFont::kGlyphBytes - 1) / InkJetFont::kGlyphBytes);
  static constexpr int kRows = InkJetFont::kRows;

  // Loads the font by the search of InkJetFont::Load (an empty name means the default file).
  explicit PrinterString(std::string_view fontName);
  explicit PrinterString(InkJetFont font);

  // Renders `length` characters of `text` (at most 815). A character below 32 or above 127 prints as a
  // blank; the caller's text is only read. A null text or a length below 1 renders nothing (0 columns).
  // Reports the columns (10 per character) and the rows (always 12); returns 1.
  int RenderText(const char* text, int length, int* columns, int* rows);

  // The bitmap of the last rendering: kRows rows of RowBytes(columns()) bytes.
  std::span<const uint8_t> bitmap() const { return bitmap_; }
  int columns() const { return columns_; }
  const InkJetFont& font() const { return font_; }

  static constexpr size_t RowBytes(size_t columns) { return (columns + 31) / 32 * 4; }

 private:
  InkJetFont font_;
  std::vector<uint8_t> bitmap_;
  int columns_ = 0;
};

// The later series' name for the same renderer.
using Qv62xPrinterString = PrinterString;

}  // namespace qv6::endorsement
