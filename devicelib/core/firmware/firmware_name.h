// Versioned firmware file names: "<anything>_v<a.b.c.d><anything>.bin", letters compared without regard
// to case, e.g. "QV620Firmware_v1.10.0.0.bin" or "QV620Firmware_beta_V1.0.0.1.BIN".
#pragma once

#include <cstdint>
#include <string_view>

namespace qv6 {

// True when the file name (without folder) carries a version; the packed version is stored through
// version. The "_v" may follow any underscore except one in the first character; ".bin" may stand
// anywhere after the version.
bool MatchVersionedFirmwareName(std::string_view name, uint64_t* version);

}  // namespace qv6
