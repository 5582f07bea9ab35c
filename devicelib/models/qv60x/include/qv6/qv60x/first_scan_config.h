// ScanConfigIni of the first series: the later series' scan configuration loader with the first series'
// keys. "Color" is a flag, each side has its scan positions, and the auxiliary sides take most of their
// values from the main sides after reading; there are no feed keys.
#pragma once

#include "qv6/later/scan_config.h"

namespace qv6::first {

using later::ScanConfig;
using later::SideConfig;

inline constexpr const char* kDefaultSection = later::kDefaultScanSection;

inline constexpr later::ScanConfigRules kScanConfigRules = {
    .colourFlag = true,
    .scanPositions = true,
    .auxSides = true,
    .feedKeys = false,
    .baudFallback = 38400,
    .stopBitsTwo = true,
    .cropFirst = true,
    .fontAfterPrinter = true,
    .fontChars = 1023,
};

// False, with *config unchanged, when the file does not open. Missing keys take their defaults.
inline bool LoadScanConfig(const char* file, const char* section, ScanConfig* config) {
  return later::LoadScanConfig(file, section, config, kScanConfigRules);
}
inline bool SaveScanConfig(const char* file, const char* section, const ScanConfig& config) {
  return later::SaveScanConfig(file, section, config, kScanConfigRules);
}

}  // namespace qv6::first
