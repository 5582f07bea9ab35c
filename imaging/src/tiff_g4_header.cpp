// Directory entries of the compact G4 header, written field by field.
#include "imaging/tiff_g4_header.h"

#include <cstring>

#include "platform/byte_order.h"
#include "status_codes.h"

namespace zc::imaging {
namespace {

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kRational = 5;
constexpr uint32_t kXResolutionAt = 146;
constexpr uint32_t kYResolutionAt = 154;

struct Entry {
  uint16_t tag;
  uint16_t type;
  uint32_t value;
};

}  // namespace

int funcMakeTIFFG4Header(std::span<uint8_t> buffer, int width, int height, uint32_t stripBytes, int xResolution,
                         int yResolution) {
  if (buffer.data() == nullptr || buffer.size() < kCompactG4HeaderBytes) return status::kBadRecord;
  uint8_t* p = buffer.data();
  std::memset(p, 0, kCompactG4HeaderBytes);
  p[0] = 'I';
  p[1] = 'I';
  plat::bytes::PutLe16(p + 2, 42);
  plat::bytes::PutLe32(p + 4, 8);
  const Entry entries[] = {
      {255, kShort, 1},                           // SubfileType
      {256, kLong, static_cast<uint32_t>(width)},   // ImageWidth
      {257, kLong, static_cast<uint32_t>(height)},  // ImageLength
      {259, kShort, 4},                           // Compression: CCITT T.6
      {262, kShort, 0},                           // PhotometricInterpretation: white is zero
      {266, kShort, 1},                           // FillOrder
      {273, kLong, kCompactG4HeaderBytes},        // StripOffsets
      {279, kLong, stripBytes},                   // StripByteCounts
      {282, kRational, kXResolutionAt},           // XResolution
      {283, kRational, kYResolutionAt},           // YResolution
      {296, kShort, 1},                           // ResolutionUnit: none
  };
  plat::bytes::PutLe16(p + 8, static_cast<uint16_t>(std::size(entries)));
  uint8_t* e = p + 10;
  for (const Entry& entry : entries) {
    plat::bytes::PutLe16(e, entry.tag);
    plat::bytes::PutLe16(e + 2, entry.type);
    plat::bytes::PutLe32(e + 4, 1);
    // A SHORT value sits in the first two bytes of the value field.
    if (entry.type == kShort) {
      plat::bytes::PutLe16(e + 8, static_cast<uint16_t>(entry.value));
    } else {
      plat::bytes::PutLe32(e + 8, entry.value);
    }
    e += 12;
  }
  // Next-directory offset 0 at 142 (already zero); the resolutions as n / 1.
  plat::bytes::PutLe32(p + kXResolutionAt, static_cast<uint32_t>(xResolution));
  plat::bytes::PutLe32(p + kXResolutionAt + 4, 1);
  plat::bytes::PutLe32(p + kYResolutionAt, static_cast<uint32_t>(yResolution));
  plat::bytes::PutLe32(p + kYResolutionAt + 4, 1);
  return 0;
}

}  // namespace zc::imaging
