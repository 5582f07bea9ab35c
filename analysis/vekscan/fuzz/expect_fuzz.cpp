// Fuzzes the expected-code-line table: the first bytes choose the setter's count, entry and numbers, the
// rest splits at NULs into the routing, the account and a code line to look up. Checks that the setter
// answers one of its codes, every stored text ends within its field, and the lookup gives an entry or -1.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "analysis/vekscan/vekscan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  const int count = data[0] % 104;
  const int k = data[1] % 104;
  const int threshold = static_cast<int8_t>(data[2]);
  const int min = static_cast<int8_t>(data[3]) * 3;
  const int contrast = static_cast<int16_t>(data[4] << 8 | data[5]);
  std::string parts[3];
  size_t n = 0;
  for (size_t i = 6; i < size && n < 3; ++i) {
    if (data[i] == 0) {
      ++n;
      continue;
    }
    parts[n] += static_cast<char>(data[i]);
  }
  const int r = analysis::vekscan::VEKScanExpectSet(count, k, parts[0].c_str(), parts[1].c_str(), threshold, min,
                                                    contrast, data[5]);
  if (r != 0 && r != -102 && r != -106) std::abort();
  const auto entries = zarn::VEKScanExpectTable().Entries();
  for (const auto& e : entries) {
    if (std::memchr(e.Routing, 0, sizeof e.Routing) == nullptr || std::memchr(e.Accout, 0, sizeof e.Accout) == nullptr)
      std::abort();
    // Entries sized but not set yet hold zeros.
    if (e.Threshold < 0 || e.Threshold > 3 || e.Min < 0 || e.Min > 255) std::abort();
  }
  const int found = analysis::vekscan::VEKScanExpectFind(parts[2].c_str());
  if (found < -1 || found >= static_cast<int>(entries.size())) std::abort();
  return 0;
}
