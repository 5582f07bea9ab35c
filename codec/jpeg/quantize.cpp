// Divisor tables for the AAN transform, rounded quantisation and the zig-zag store.
#include "quantize.h"

#include <cstring>

#include "jpeg_tables.h"

namespace zc::jpeg {

const std::array<uint16_t, 64> kAanScales = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  22725, 31521, 29692, 26722, 22725,
    17855, 12299, 6270,  21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  19266, 26722,
    25172, 22654, 19266, 15137, 10426, 5315,  16384, 22725, 21407, 19266, 16384, 12873, 8867,
    4520,  12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,  8867,  12299, 11585, 10426,
    8867,  6967,  4799,  2446,  4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247};

QuantDivisors MakeQuantDivisors(const std::array<uint16_t, 64>& quant) {
  QuantDivisors d;
  for (int k = 0; k < 64; ++k) {
    const uint32_t div = (static_cast<uint32_t>(kAanScales[k]) * quant[k] + 1024) >> 11;
    const uint32_t safe = div == 0 ? 1 : div;
    d.divisor[k] = static_cast<uint16_t>(safe);
    d.half[k] = static_cast<uint16_t>(safe >> 1);
    // floor(65536 / d) underestimates n / d by less than 1, so one correction step suffices; for d = 1
    // 65535 behaves the same way.
    d.reciprocal[k] = static_cast<uint16_t>(safe == 1 ? 65535 : 65536 / safe);
  }
  return d;
}

void QuantizeScalar(const int16_t* in, const QuantDivisors& divisors, int16_t* out) {
  for (int k = 0; k < 64; ++k) {
    const int x = in[k];
    const uint32_t d = divisors.divisor[k];
    const uint32_t n = static_cast<uint32_t>(x < 0 ? -x : x) + divisors.half[k];
    uint32_t q = (n * divisors.reciprocal[k]) >> 16;
    if (n - q * d >= d) ++q;
    out[k] = static_cast<int16_t>(x < 0 ? -static_cast<int>(q) : static_cast<int>(q));
  }
}

int QuantizeReference(int x, int divisor) {
  return x >= 0 ? (x + (divisor >> 1)) / divisor : -((-x + (divisor >> 1)) / divisor);
}

void ZigzagStoreScalar(const int16_t* natural, uint8_t* out) {
  int16_t zigzag[64];
  for (int k = 0; k < 64; ++k) zigzag[k] = natural[kZigzagToNatural[k]];
  std::memcpy(out, zigzag, sizeof zigzag);
}

}  // namespace zc::jpeg
