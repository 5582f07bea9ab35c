// Firmware file selection over the platform's case-insensitive file search.
#include "firmware/firmware_file.h"

#include "firmware/firmware_name.h"
#include "platform/paths.h"

namespace qv6 {

std::string FindLatestFirmwareFile(std::string_view configuredPath, uint64_t* version) {
  uint64_t best = 0;
  std::string result;
  std::string full = plat::FullPath(configuredPath);
  if (full.size() < kMaxFullPath) {
    // "C:\fw\QV620Firmware.bin" searches "C:\fw\QV620Firmware*.bin"; with no '.' the '*' goes first.
    size_t dot = full.rfind('.');
    std::string pattern = full;
    pattern.insert(dot == std::string::npos ? 0 : dot, "*");
    size_t slash = pattern.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
    for (const std::string& name : plat::FindFiles(pattern)) {
      uint64_t candidate = 0;
      if (!MatchVersionedFirmwareName(name, &candidate)) continue;
      if (candidate > best) {
        best = candidate;
        result = folder + name;
      }
    }
  }
  if (version != nullptr) *version = best;
  return result;
}

}  // namespace qv6
