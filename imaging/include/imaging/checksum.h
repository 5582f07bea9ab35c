// CRC-16 of the reflected CCITT polynomial (0x1021 processed as 0x8408, input and output reflected, no
// final exclusive-or), the checksum the G4 writer puts into a TIFF file's Software text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zc::imaging {

// CRC of `length` bytes starting from `seed`; "123456789" with seed 0 gives 0x2189.
int32_t funcCrc16(const uint8_t* bytes, size_t length, uint32_t seed);

// CRC (seed 0) of the pixel bytes of a 1-bit record; -1 when the record is not 1 bit, -552 when its
// header does not fit the buffer.
int32_t funcImageCrc16(std::span<const uint8_t> record);

}  // namespace zc::imaging
