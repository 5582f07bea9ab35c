// Magnetic samples of any length into the samples callback, with the code-line formatter installed: the
// published line always fits its buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "zarn/analysis.h"
#include "zarn/optical_codeline.h"
#include "zarn/qv600.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    zarn::Qv600().analysis = zarn::OpenAnalysisState();
    zarn::SetCodeLineFormatter(&zarn::funcAssembleMICR);
    return true;
  }();
  (void)ready;
  std::vector<uint16_t> samples(size / 2 + 1, 0);
  if (size > 0) std::memcpy(samples.data(), data, size);
  QV6MicrSamples record{samples.data(), static_cast<int>(size)};
  zarn::cbMICRRaw(QV6_EVENT_MICR_SAMPLES, reinterpret_cast<intptr_t>(&record));
  if (zarn::Qv600CodeLine().size() >= zarn::kCodeLineSize) __builtin_trap();
  // The code line as a text of its own through the formatter.
  char line[zarn::kCodeLineSize] = {};
  if (size > 0) std::memcpy(line, data, size < sizeof line - 1 ? size : sizeof line - 1);
  zarn::funcAssembleMICR(line, sizeof line, zarn::Qv600().analysis.get());
  if (std::strlen(line) >= sizeof line) __builtin_trap();
  return 0;
}
