// Text rasterizer: measures a line of text and renders lines into 1-bit rows, for the endorsement canvas
// and the window layer's controls.
//
// Two backends behind one interface:
//  - FreeType with fontconfig: the Windows face names the programs ask for ("Arial", "MS Sans Serif",
//    "Courier New", ...) are matched to installed metric-compatible faces; glyphs are rendered without
//    antialiasing; weight is 400 + 300 x bold; a negative height is the em size in pixels and a positive one
//    the cell height (ascent + descent), as in the Windows font mapper.
//  - a built-in fixed bitmap font (5 x 7 glyphs in a 6 x 8 cell, scaled by whole pixels), which gives the
//    same bits on every machine, for tests.
// A font that cannot be loaded is traced on the debug channel and replaced by the bitmap font; callers never
// see a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace text {

struct FontSpec {
  std::string face = "MS Sans Serif";
  int height = -11;  // < 0: em size in pixels; > 0: cell height in pixels; 0: the backend's default size
  int weight = 400;  // 400 normal, 700 bold (400 + 300 x bold)
  bool italic = false;
  bool fixedPitch =
      false;  // ask the font mapper for a fixed-pitch face (it prefers one when the face is missing)
};

// The vertical metrics of a font, in pixels.
struct FontMetrics {
  int ascent = 0;   // baseline below the cell top
  int descent = 0;  // cell bottom below the baseline
  int height = 0;   // ascent + descent
  int averageCharWidth = 0;  // mean advance of "A".."Z" and "a".."z", rounded (dialog base units)
};

struct TextSize {
  int width = 0;
  int height = 0;
};

// A 1-bit destination: rows of `stride` bytes, the leftmost pixel in the high bit of each byte. Rendering
// sets the bits of ink and leaves all other bits as they were; ink outside width x height is clipped.
struct MonoRows {
  uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  size_t stride = 0;
  bool Get(int x, int y) const { return (bits[y * stride + x / 8] >> (7 - x % 8)) & 1; }
  void Set(int x, int y) {
    if (x >= 0 && y >= 0 && x < width && y < height) bits[y * stride + x / 8] |= uint8_t(0x80 >> (x % 8));
  }
};

class TextRasterizer {
 public:
  virtual ~TextRasterizer() = default;
  virtual FontMetrics Metrics() const = 0;
  // The advance width of the line and the cell height. Bytes are Latin-1 characters; CR and LF are not
  // interpreted (callers split lines).
  virtual TextSize Measure(std::string_view line) const = 0;
  // Draws the line with its cell's top-left corner at (x, y); coordinates may lie outside the rows.
  virtual void Render(std::string_view line, MonoRows& rows, int x, int y) const = 0;
  // The file or name of the face actually used ("bitmap" for the built-in font).
  virtual std::string ResolvedFace() const = 0;
};

enum class TextBackend { FreeType, Bitmap };

// The process-wide backend choice; FreeType unless a test chose the bitmap font.
void SetTextBackend(TextBackend backend);
TextBackend CurrentTextBackend();

// A rasterizer for `spec` from the current backend; never null.
std::unique_ptr<TextRasterizer> CreateTextRasterizer(const FontSpec& spec);
std::unique_ptr<TextRasterizer> CreateBitmapRasterizer(const FontSpec& spec);
// Null when FreeType or the face cannot be loaded (the failure is traced).
std::unique_ptr<TextRasterizer> CreateFreeTypeRasterizer(const FontSpec& spec);

// The installed family a Windows face name maps to before fontconfig matching ("Arial" -> "Liberation Sans").
std::string SubstituteFace(std::string_view face);

// Sets the backend for one scope and restores the previous one.
class ScopedTextBackend {
 public:
  explicit ScopedTextBackend(TextBackend b) : previous_(CurrentTextBackend()) { SetTextBackend(b); }
  ~ScopedTextBackend() { SetTextBackend(previous_); }
  ScopedTextBackend(const ScopedTextBackend&) = delete;
  ScopedTextBackend& operator=(const ScopedTextBackend&) = delete;

 private:
  TextBackend previous_;
};

}  // namespace text
