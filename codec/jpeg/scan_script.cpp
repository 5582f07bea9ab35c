// The two progressive scan scripts: DC first with one bit of precision held back, low then high AC bands
// with two bits held back, then the refinements.
#include "scan_script.h"

namespace zc::jpeg {
namespace {

constexpr ScanScriptEntry kColour[] = {
    {{true, true, true}, 0, 0, 0, 1},     // DC of all components
    {{true, false, false}, 1, 5, 0, 2},   // Y low AC
    {{false, false, true}, 1, 63, 0, 1},  // Cr AC
    {{false, true, false}, 1, 63, 0, 1},  // Cb AC
    {{true, false, false}, 6, 63, 0, 2},  // Y high AC
    {{true, false, false}, 1, 63, 2, 1},  // Y AC refinement
    {{true, true, true}, 0, 0, 1, 0},     // DC refinement
    {{false, false, true}, 1, 63, 1, 0},  // Cr AC refinement
    {{false, true, false}, 1, 63, 1, 0},  // Cb AC refinement
    {{true, false, false}, 1, 63, 1, 0},  // Y last bit
};

constexpr ScanScriptEntry kGray[] = {
    {{true, false, false}, 0, 0, 0, 1},  {{true, false, false}, 1, 5, 0, 2},
    {{true, false, false}, 6, 63, 0, 2}, {{true, false, false}, 1, 63, 2, 1},
    {{true, false, false}, 0, 0, 1, 0},  {{true, false, false}, 1, 63, 1, 0},
};

}  // namespace

std::span<const ScanScriptEntry> ColourScanScript() {
  return kColour;
}
std::span<const ScanScriptEntry> GrayScanScript() {
  return kGray;
}

}  // namespace zc::jpeg
