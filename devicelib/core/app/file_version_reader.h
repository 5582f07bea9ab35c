// FileVersionReader: reads a file's version record (the stand-in for a Windows version resource) for
// displays that show the versions of the loaded modules.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qv6 {

// The fixed part of a version record: the file version as two 32-bit words (major.minor, build.revision).
struct FixedFileInfo {
  uint32_t fileVersionMs = 0;
  uint32_t fileVersionLs = 0;
};

class FileVersionReader {
 public:
  static constexpr uint16_t kDefaultCodePage = 1252;

  // Clears the reader and reads the file's record; false (and the reader cleared) when there is none.
  bool Load(std::string_view fileName);
  void Clear();
  // The fixed information of the loaded record, nullopt when none is loaded.
  const std::optional<FixedFileInfo>& GetFixedInfo() const { return fixed_; }

  uint16_t language() const { return language_; }
  uint16_t codePage() const { return codePage_; }
  int translations() const { return translations_; }

 private:
  uint16_t language_ = 0;
  uint16_t codePage_ = kDefaultCodePage;
  std::optional<FixedFileInfo> fixed_;
  int translations_ = 0;  // the project's records carry no translation table
};

}  // namespace qv6
