// FreeType backend: fontconfig finds the file for the substituted face, FreeType renders monochrome glyphs.
// Bold and italic are synthesised (outline emboldening, a 0.2 shear) when the matched file lacks them.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/debug_output.h"
#include "text/text_rasterizer.h"

namespace text {
namespace {

void Trace(const std::string& what) {
  plat::OutputDebugStringA(("TextRasterizer: " + what + "\n").c_str());
}

struct Match {
  std::string file;
  int index = 0;
  bool bold = false;
  bool italic = false;
};

// This library's own fontconfig configuration, loaded on first use and released at exit together with
// fontconfig's process-wide caches. Matching is serialised on it.
struct FontConfig {
  std::mutex m;
  FcConfig* config = nullptr;
  bool tried = false;
  ~FontConfig() {
    if (config) {
      FcConfigDestroy(config);
      FcFini();
    }
  }
};

std::optional<Match> FindFace(const FontSpec& spec) {
  static FontConfig fc;
  std::lock_guard lock(fc.m);
  if (!fc.tried) {
    fc.tried = true;
    fc.config = FcInitLoadConfigAndFonts();
  }
  if (!fc.config) return std::nullopt;
  const std::string family = SubstituteFace(spec.face);
  FcPattern* pat = FcPatternCreate();
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pat, FC_WEIGHT, spec.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, spec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  if (spec.fixedPitch) FcPatternAddInteger(pat, FC_SPACING, FC_MONO);
  FcConfigSubstitute(fc.config, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* found = FcFontMatch(fc.config, pat, &result);
  FcPatternDestroy(pat);
  if (!found) return std::nullopt;
  Match out;
  FcChar8* file = nullptr;
  int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file)
    out.file = reinterpret_cast<const char*>(file);
  FcPatternGetInteger(found, FC_INDEX, 0, &out.index);
  FcPatternGetInteger(found, FC_WEIGHT, 0, &weight);
  FcPatternGetInteger(found, FC_SLANT, 0, &slant);
  out.bold = weight >= FC_WEIGHT_DEMIBOLD;
  out.italic = slant != FC_SLANT_ROMAN;
  FcPatternDestroy(found);
  if (out.file.empty()) return std::nullopt;
  return out;
}

class FreeTypeRasterizer final : public TextRasterizer {
 public:
  ~FreeTypeRasterizer() override {
    if (face_) FT_Done_Face(face_);
    if (lib_) FT_Done_FreeType(lib_);
  }

  // Null on any failure, after tracing it.
  static std::unique_ptr<FreeTypeRasterizer> Open(const FontSpec& spec) {
    auto match = FindFace(spec);
    if (!match) {
      Trace("no installed face for \"" + spec.face + "\"");
      return nullptr;
    }
    auto r = std::unique_ptr<FreeTypeRasterizer>(new FreeTypeRasterizer);
    if (FT_Init_FreeType(&r->lib_) != 0) {
      Trace("FreeType did not start");
      return nullptr;
    }
    if (FT_New_Face(r->lib_, match->file.c_str(), match->index, &r->face_) != 0) {
      Trace("cannot load " + match->file);
      return nullptr;
    }
    r->file_ = match->file;
    r->embolden_ = spec.weight >= 600 && !match->bold;
    r->oblique_ = spec.italic && !match->italic;
    if (!r->SetSize(spec.height)) {
      Trace("cannot size " + match->file);
      return nullptr;
    }
    return r;
  }

  FontMetrics Metrics() const override { return metrics_; }

  TextSize Measure(std::string_view line) const override {
    std::lock_guard lock(m_);
    int w = 0;
    for (char ch : line)
      if (Load(static_cast<unsigned char>(ch))) w += Advance();
    return {w, metrics_.height};
  }

  void Render(std::string_view line, MonoRows& rows, int x, int y) const override {
    std::lock_guard lock(m_);
    int penX = x;
    const int baseline = y + metrics_.ascent;
    for (char ch : line) {
      if (!Load(static_cast<unsigned char>(ch))) continue;
      FT_GlyphSlot g = face_->glyph;
      if (FT_Render_Glyph(g, FT_RENDER_MODE_MONO) == 0) {
        const FT_Bitmap& bm = g->bitmap;
        for (unsigned r = 0; r < bm.rows; ++r) {
          const uint8_t* src = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
          for (unsigned c = 0; c < bm.width; ++c)
            if ((src[c / 8] >> (7 - c % 8)) & 1)
              rows.Set(penX + g->bitmap_left + static_cast<int>(c), baseline - g->bitmap_top + static_cast<int>(r));
        }
      }
      penX += Advance();
    }
  }

  std::string ResolvedFace() const override { return file_; }

 private:
  FreeTypeRasterizer() = default;

  bool SetSize(int height) {
    if (height == 0) height = -11;
    const FT_Face f = face_;
    // The cell of the Windows mapper: usWinAscent + usWinDescent of the OS/2 table when present.
    int asc = f->ascender, desc = -f->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2)); os2 && os2->usWinAscent) {
      asc = os2->usWinAscent;
      desc = os2->usWinDescent;
    }
    const int upem = f->units_per_EM ? f->units_per_EM : 2048;
    double em = height < 0 ? -height : static_cast<double>(height) * upem / std::max(1, asc + desc);
    const auto px = static_cast<FT_UInt>(std::max(1.0, std::lround(em) * 1.0));
    if (FT_Set_Pixel_Sizes(face_, px, px) != 0) return false;
    const double scale = static_cast<double>(px) / upem;
    metrics_.ascent = static_cast<int>(std::lround(asc * scale));
    metrics_.descent = static_cast<int>(std::lround(desc * scale));
    metrics_.height = metrics_.ascent + metrics_.descent;
    int total = 0, n = 0;
    for (char c = 'A'; c <= 'Z'; ++c) total += (Load(c) ? Advance() : 0), ++n;
    for (char c = 'a'; c <= 'z'; ++c) total += (Load(c) ? Advance() : 0), ++n;
    metrics_.averageCharWidth = (total + n / 2) / n;
    return true;
  }

  // Loads (not yet renders) the glyph of a Latin-1 character with the synthetic styles applied.
  bool Load(unsigned char c) const {
    if (FT_Load_Char(face_, c, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) return false;
    FT_GlyphSlot g = face_->glyph;
    if (g->format == FT_GLYPH_FORMAT_OUTLINE) {
      if (embolden_) {
        const FT_Pos strength = FT_MulFix(face_->units_per_EM, face_->size->metrics.y_scale) / 24;
        FT_Outline_Embolden(&g->outline, strength);
        g->advance.x += strength;
      }
      if (oblique_) {
        FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};  // x += 0.2 y
        FT_Outline_Transform(&g->outline, &shear);
      }
    }
    return true;
  }
  int Advance() const { return static_cast<int>((face_->glyph->advance.x + 32) >> 6); }

  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
  std::string file_;
  bool embolden_ = false;
  bool oblique_ = false;
  FontMetrics metrics_;
  mutable std::mutex m_;  // a face's glyph slot is shared state
};

}  // namespace

std::unique_ptr<TextRasterizer> CreateFreeTypeRasterizer(const FontSpec& spec) {
  return FreeTypeRasterizer::Open(spec);
}

}  // namespace text
