// Fuzz entry point of the VEKQv5xx magnetic read's arithmetic: a sample count as status word 4 gives it
// (the first two bytes), bounded as the read bounds it, then the AGC over the samples made of the rest in
// a sample buffer of the read's size, and the potentiometer of the gain it gives with any calibration
// factor. Nothing is read beyond the buffer, and the gain stays within its range.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "qv6/vekqv5xx/vekqv5xx_status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qv6;
  if (size < 4) return 0;
  constexpr size_t kMostSamples = 32718;
  const size_t asked = static_cast<size_t>((data[0] << 8) | data[1]);
  const size_t n = std::min(asked, kMostSamples);
  std::vector<uint16_t> buffer(32768, 0);
  const size_t given = std::min((size - 4) / 2, buffer.size());
  for (size_t i = 0; i < given; ++i) buffer[i] = static_cast<uint16_t>(data[4 + 2 * i] | (data[5 + 2 * i] << 8));
  const uint32_t gain = vekqv5xx::ClampGain(static_cast<int>((data[2] << 8) | data[3]));
  const vekqv5xx::AgcResult r = vekqv5xx::RunAgc(std::span<const uint16_t>(buffer).first(n), gain);
  if (r.gain != 0 && r.gain != gain && r.gain != 255) __builtin_trap();
  vekqv5xx::Potentiometer(data[2], r.gain);
  vekqv5xx::Potentiometer(data[3], gain);
  return 0;
}
