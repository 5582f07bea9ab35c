// Matching of versioned firmware file names. The accepted names are those of the pattern
// "one character, non-underscores, '_v', d+.d+.d+.d+, as few characters as needed, '.bin'" searched at
// every start position. A start position can only reach the first underscore after it, so trying every
// underscore (from the second character on) in order finds the same leftmost match without backtracking.
#include "firmware/firmware_name.h"

#include <cctype>

#include "firmware/version_text.h"
#include "platform/text.h"

namespace qv6 {
namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool HasBinSuffixFrom(std::string_view name, size_t from) {
  static constexpr std::string_view kBin = ".bin";
  for (size_t p = from; p + kBin.size() <= name.size(); ++p) {
    if (plat::EqualNoCase(name.substr(p, kBin.size()), kBin)) return true;
  }
  return false;
}

}  // namespace

bool MatchVersionedFirmwareName(std::string_view name, uint64_t* version) {
  for (size_t u = 1; u + 1 < name.size(); ++u) {
    if (name[u] != '_' || Lower(name[u + 1]) != 'v') continue;
    size_t end = 0;
    uint64_t packed = 0;
    if (!MatchVersionAt(name, u + 2, &end, &packed)) continue;
    if (!HasBinSuffixFrom(name, end)) continue;
    if (version != nullptr) *version = packed;
    return true;
  }
  return false;
}

}  // namespace qv6
