// Progressive scan scripts: the successive-approximation and spectral-selection order of the scans
// (ITU-T T.81 G.1), one for three-component and one for one-component images.
#pragma once

#include <cstdint>
#include <span>

namespace zc::jpeg {

struct ScanScriptEntry {
  bool in_scan[3];  // components by frame order (Y, Cb, Cr)
  uint8_t ss, se, ah, al;
};

std::span<const ScanScriptEntry> ColourScanScript();
std::span<const ScanScriptEntry> GrayScanScript();

}  // namespace zc::jpeg
