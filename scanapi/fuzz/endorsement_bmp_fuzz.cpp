// The start of a BMP file read for endorsement printing: whatever it holds, an accepted print's pixels
// lie inside what was read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "zarn/qv600_services.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, std::min(size, zarn::kBmpPrintBuffer));
  zarn::EndorsementBmp bmp;
  if (zarn::ParseEndorsementBmp(bytes, &bmp) != 0) return 0;
  if (bmp.width <= 0 || bmp.height <= 0 || bmp.bitsOffset >= bytes.size()) __builtin_trap();
  // The library reads the last pixel row's first byte.
  volatile uint8_t last = bytes[bytes.size() - 1];
  (void)last;
  return 0;
}
