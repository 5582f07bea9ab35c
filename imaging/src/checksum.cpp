// Bytewise CRC-16 without a table: each byte folds in with three shifts (the polynomial x^16 + x^12 +
// x^5 + 1 in reflected form).
#include "imaging/checksum.h"

#include "imaging/image_record.h"
#include "status_codes.h"

namespace zc::imaging {

int32_t funcCrc16(const uint8_t* bytes, size_t length, uint32_t seed) {
  uint32_t crc = seed & 0xFFFF;
  for (size_t i = 0; i < length; ++i) {
    uint32_t x = (crc ^ bytes[i]) & 0xFF;
    x ^= (x << 4) & 0xFF;
    crc = ((crc >> 8) ^ (x << 8) ^ (x << 3) ^ (x >> 4)) & 0xFFFF;
  }
  return static_cast<int32_t>(crc);
}

int32_t funcImageCrc16(std::span<const uint8_t> record) {
  const auto view = CheckRecord(record);
  if (!view) return status::kBadRecord;
  if (view->header.bits != 1) return -1;
  return funcCrc16(view->pixels, view->PixelBytes(), 0);
}

}  // namespace zc::imaging
