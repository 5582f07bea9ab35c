// Fuzz entry point for the magnetic decoder: any sample run, in any preset,
// rate, font and trim, must decode within bounds to at most 199 characters of
// the code-line alphabet, in both entry-point forms.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "devicelib/core/micr/lumivex_micr.h"
#include "devicelib/core/micr/micr.h"

namespace {

constexpr std::size_t kHeader = 8;
constexpr std::size_t kMaxSamples = 65536;
constexpr int kPresets[] = {1, 2, 3, 9, 10, 11, 0, 3};

void CheckLine(const char* line) {
  if (line == nullptr) std::abort();
  const std::size_t n = std::strlen(line);
  if (n > 199) std::abort();
  for (std::size_t i = 0; i < n; ++i) {
    if (std::strchr("0123456789:;<=>@ ", line[i]) == nullptr) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader) return 0;
  const int preset = kPresets[data[0] % 8];
  const int font = data[1] % 4;
  // Rates from 1 to about 10^6 samples per second.
  const int rate = 1 + static_cast<int>((data[2] | data[3] << 8 | (data[4] & 0x0F) << 16) % 1000000);
  const int trimEnd = static_cast<int8_t>(data[5]);
  const int trimStart = static_cast<int8_t>(data[6]);
  const int format = data[7] % 3;

  std::vector<uint16_t> samples(std::min((size - kHeader) / 2, kMaxSamples));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<uint16_t>(data[kHeader + 2 * i] | data[kHeader + 2 * i + 1] << 8);
  }

  qv6::Micr library;
  if (library.Setup(preset, 2, 0, 1023, rate, data[0] >> 7, 0.13) == 0) {
    library.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), font, trimEnd, trimStart);
    CheckLine(library.GetCodeline(format, '@'));
  }

  lumivex::Micr host;
  host.Setup(preset, 2, 0, 1023, rate, data[0] >> 7, 0.13, 0);
  host.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), font, trimEnd, trimStart);
  char line[256];
  const int n = host.GetCodeline(format, '@', line, sizeof line);
  if (n < 0 || static_cast<std::size_t>(n) != std::strlen(line)) std::abort();
  CheckLine(line);
  return 0;
}
