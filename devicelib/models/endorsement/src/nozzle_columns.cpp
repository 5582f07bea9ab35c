// Transposing endorsement image rows into nozzle column words.
#include "qv6/endorsement/nozzle_columns.h"

#include <algorithm>

namespace qv6::endorsement {

std::optional<EndorsementBitmap> EndorsementBitmap::FromCaller(const void* bits, int width, int rows) {
  if (width < 0 || rows < 0) return std::nullopt;
  if (bits == nullptr && width > 0 && rows > 0) return std::nullopt;
  return EndorsementBitmap{static_cast<const uint8_t*>(bits), static_cast<size_t>(width),
                           static_cast<size_t>(rows)};
}

uint16_t NozzleColumn(const EndorsementBitmap& image, size_t x, bool inkWhereSet) {
  if (x >= image.width) return 0;
  const size_t rows = std::min(image.rows, static_cast<size_t>(kNozzles));
  const size_t stride = image.RowBytes();
  const size_t byte = x / 8;
  const unsigned shift = 7 - static_cast<unsigned>(x % 8);
  uint16_t word = 0;
  for (size_t j = 0; j < rows; ++j) {
    const bool set = (image.bits[j * stride + byte] >> shift) & 1u;
    if (set == inkWhereSet) word |= static_cast<uint16_t>(1u << j);
  }
  return word;
}

void EncodeNozzleColumns(const EndorsementBitmap& image, size_t first, bool inkWhereSet,
                         std::span<uint8_t> out) {
  const size_t count = out.size() / 2;
  for (size_t k = 0; k < count; ++k) {
    const uint16_t word = NozzleColumn(image, first + k, inkWhereSet);
    out[2 * k] = static_cast<uint8_t>(word);
    out[2 * k + 1] = static_cast<uint8_t>(word >> 8);
  }
  if (out.size() % 2 != 0) out.back() = 0;
}

}  // namespace qv6::endorsement
