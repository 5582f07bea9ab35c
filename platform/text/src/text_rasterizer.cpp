// Backend choice and the face substitution table.
#include <array>
#include <atomic>
#include <utility>

#include "platform/text.h"
#include "text/text_rasterizer.h"

namespace text {
namespace {
std::atomic<TextBackend> g_backend{TextBackend::FreeType};

// Windows faces and the installed families with the same advance widths.
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kSubstitutes = {{
    {"Arial", "Liberation Sans"},
    {"Helvetica", "Liberation Sans"},
    {"MS Sans Serif", "Liberation Sans"},
    {"MS Shell Dlg", "Liberation Sans"},
    {"System", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"MS Serif", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"Courier", "Liberation Mono"},
}};
}  // namespace

void SetTextBackend(TextBackend backend) {
  g_backend.store(backend);
}
TextBackend CurrentTextBackend() {
  return g_backend.load();
}

std::string SubstituteFace(std::string_view face) {
  for (const auto& [windows, installed] : kSubstitutes)
    if (plat::EqualNoCase(face, windows)) return std::string(installed);
  return std::string(face);
}

std::unique_ptr<TextRasterizer> CreateTextRasterizer(const FontSpec& spec) {
  if (CurrentTextBackend() == TextBackend::FreeType) {
    if (auto r = CreateFreeTypeRasterizer(spec)) return r;
  }
  return CreateBitmapRasterizer(spec);
}

}  // namespace text
