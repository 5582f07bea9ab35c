// Rendering endorsement text: glyph columns laid side by side, transposed into bitmap rows.
#include "qv6/endorsement/printer_string.h"

#include <algorithm>
#include <utility>

namespace qv6::endorsement {

static_assert(PrinterString::kMaxCharacters == 815);
static_assert(PrinterString::kRows *
                  PrinterString::RowBytes(PrinterString::kMaxCharacters * InkJetFont::kGlyphColumns) <=
              PrinterString::kBitmapBytes);

PrinterString::PrinterString(std::string_view fontName) : PrinterString(InkJetFont::Load(fontName)) {}

PrinterString::PrinterString(InkJetFont font) : font_(std::move(font)), bitmap_(kBitmapBytes, 0) {}

int PrinterString::RenderText(const char* text, int length, int* columns, int* rows) {
  std::fill(bitmap_.begin(), bitmap_.end(), 0);
  const int characters = (text == nullptr || length < 1) ? 0 : std::min(length, kMaxCharacters);
  columns_ = characters * InkJetFont::kGlyphColumns;
  const size_t rowBytes = RowBytes(static_cast<size_t>(columns_));
  // Column c of the text is bit (7 - c % 8) of byte c / 8 of each row: the same as 16-column groups
  // stored as little-endian words with the first column in bit 7.
  for (int i = 0; i < characters; ++i) {
    auto code = static_cast<unsigned char>(text[i]);
    if (code < InkJetFont::kFirstCode || code > InkJetFont::kLastCode) code = ' ';
    for (int k = 0; k < InkJetFont::kGlyphColumns; ++k) {
      const uint16_t word = font_.Column(code, k);
      if (word == 0) continue;
      const size_t c = static_cast<size_t>(i) * InkJetFont::kGlyphColumns + k;
      const auto mask = static_cast<uint8_t>(0x80u >> (c % 8));
      for (int r = 0; r < kRows; ++r) {
        if ((word >> r) & 1u) bitmap_[r * rowBytes + c / 8] |= mask;
      }
    }
  }
  if (columns != nullptr) *columns = columns_;
  if (rows != nullptr) *rows = kRows;
  return 1;
}

}  // namespace qv6::endorsement
