// The ink-jet font: a fixed 12-dot bitmap font read from "Qv600_IJAsciiFont.bin".
//
// The file's first 2048 bytes are the font. Character codes 32 to 127 each have a glyph of 20 bytes at
// 20 x (code - 32): ten columns, left first, each a little-endian 16-bit word whose bit r is the dot of
// row r (rows 0 to 11; bits 12 to 15 are not used). Bytes the file does not have stay zero, so a short
// or missing file gives blank glyphs rather than an error: the endorsement then prints nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qv6::endorsement {

class InkJetFont {
 public:
  static constexpr const char* kDefaultName = "Qv600_IJAsciiFont.bin";
  static constexpr size_t kFileBytes = 2048;
  static constexpr int kFirstCode = 32;
  static constexpr int kLastCode = 127;
  static constexpr int kGlyphColumns = 10;
  static constexpr size_t kGlyphBytes = 2 * kGlyphColumns;
  static constexpr int kRows = 12;
  static constexpr uint16_t kRowMask = (1u << kRows) - 1;

  // A blank font (every glyph empty).
  InkJetFont() = default;

  // Searches for the font file and reads the first one that opens, in this order: `name` (the default
  // name when empty; a relative name is taken from the current directory), then the default name in the
  // Windows folder, then in the System folder. Nothing found leaves the font blank.
  static InkJetFont Load(std::string_view name);

  // The font from the bytes of a file: at most the first 2048 are used, the rest stays zero.
  static InkJetFont FromBytes(std::span<const uint8_t> bytes);

  // The column word (rows 0 to 11 only) of glyph column `column` of character code `code`; codes outside
  // 32..127 have no glyph here and give 0 (the renderer prints them as blanks).
  uint16_t Column(unsigned char code, int column) const;

  // The path of the file the font came from, empty when none opened.
  const std::string& path() const { return path_; }
  // The number of font bytes the file supplied (0 to 2048).
  size_t bytesRead() const { return bytesRead_; }
  std::span<const uint8_t, kFileBytes> bytes() const { return bytes_; }

 private:
  static bool TryFile(const std::string& name, InkJetFont& font);

  std::array<uint8_t, kFileBytes> bytes_{};
  size_t bytesRead_ = 0;
  std::string path_;
};

}  // namespace qv6::endorsement
