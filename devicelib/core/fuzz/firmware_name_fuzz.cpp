// Fuzz entry for firmware-folder file names: any name a folder may hold, matched for a version and the
// version texts read from every digit in it. A name that matches must carry the version it reports.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "firmware/firmware_name.h"
#include "firmware/version_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that a read past the name is a read past the heap block.
  const std::string copy(reinterpret_cast<const char*>(data), size);
  const std::string_view name(copy);
  uint64_t version = 0;
  const bool matched = qv6::MatchVersionedFirmwareName(name, &version);
  bool found = false;
  for (size_t pos = 0; pos < name.size(); ++pos) {
    size_t end = 0;
    uint64_t at = 0;
    if (name[pos] >= '0' && name[pos] <= '9' && qv6::MatchVersionAt(name, pos, &end, &at)) {
      if (end <= pos || end > name.size()) __builtin_trap();
      found = found || at == version;
    }
  }
  (void)qv6::ParseVersionText(name);
  if (matched && !found) __builtin_trap();
  return 0;
}
