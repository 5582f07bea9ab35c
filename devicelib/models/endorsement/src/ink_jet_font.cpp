// Loading the ink-jet font: the file search and the glyph table.
#include "qv6/endorsement/ink_jet_font.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "platform/paths.h"

namespace qv6::endorsement {
namespace {

// The Windows-shaped folder calls take a fixed buffer; a folder that does not fit is skipped.
constexpr uint32_t kFolderBuffer = 256;

using FolderCall = uint32_t (*)(char*, uint32_t);

// "<folder>\<default name>", or empty when the folder cannot be had.
std::string InFolder(FolderCall call) {
  char folder[kFolderBuffer] = {};
  const uint32_t length = call(folder, kFolderBuffer);
  if (length == 0 || length >= kFolderBuffer) return {};
  std::string name(folder, length);
  if (name.back() != '\\') name += '\\';
  return name + InkJetFont::kDefaultName;
}

}  // namespace

InkJetFont InkJetFont::FromBytes(std::span<const uint8_t> bytes) {
  InkJetFont font;
  font.bytesRead_ = std::min(bytes.size(), kFileBytes);
  std::copy_n(bytes.begin(), font.bytesRead_, font.bytes_.begin());
  return font;
}

bool InkJetFont::TryFile(const std::string& name, InkJetFont& font) {
  std::FILE* file = plat::OpenFile(name, "rb");
  if (file == nullptr) return false;
  // A folder of that name is not a font file; the search goes on as if nothing opened.
  struct stat info {};
  if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
    std::fclose(file);
    return false;
  }
  std::array<uint8_t, kFileBytes> bytes{};
  size_t got = 0;
  while (got < kFileBytes) {
    const size_t n = std::fread(bytes.data() + got, 1, kFileBytes - got, file);
    if (n == 0) break;
    got += n;
  }
  // A read that fails part-way gives no font at all rather than a half-read one.
  if (std::ferror(file)) got = 0;
  std::fclose(file);
  font = FromBytes(std::span<const uint8_t>(bytes.data(), got));
  font.path_ = plat::FullPath(name);
  return true;
}

InkJetFont InkJetFont::Load(std::string_view name) {
  InkJetFont font;
  const std::string given = name.empty() ? std::string(kDefaultName) : std::string(name);
  if (TryFile(given, font)) return font;
  // The Windows and System folders are searched for the default name only.
  for (FolderCall call : {&plat::GetWindowsDirectoryA, &plat::GetSystemDirectoryA}) {
    const std::string candidate = InFolder(call);
    if (!candidate.empty() && TryFile(candidate, font)) return font;
  }
  return InkJetFont{};
}

uint16_t InkJetFont::Column(unsigned char code, int column) const {
  if (code < kFirstCode || code > kLastCode || column < 0 || column >= kGlyphColumns) return 0;
  const size_t at = kGlyphBytes * (code - kFirstCode) + 2 * static_cast<size_t>(column);
  const auto word = static_cast<uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
  return word & kRowMask;
}

}  // namespace qv6::endorsement
