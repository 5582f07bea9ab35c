// File signatures by which a decompression run recognises its format.
#include <cstring>

#include "codec/core/img_formats.h"

namespace zc::codec {
namespace {

bool startsWith(const uint8_t* bytes, size_t count, const char* prefix, size_t n) {
  return count >= n && std::memcmp(bytes, prefix, n) == 0;
}
bool isBmp(const uint8_t* b, size_t n) {
  return startsWith(b, n, "BM", 2);
}
bool isGif(const uint8_t* b, size_t n) {
  return startsWith(b, n, "GIF", 3);
}
bool isPcx(const uint8_t* b, size_t n) {
  return n >= 1 && b[0] == 0x0A;
}
bool isJpeg(const uint8_t* b, size_t n) {
  return n >= 2 && b[0] == 0xFF && b[1] == 0xD8;
}
// TIFF 6.0 byte orders; only two bytes are compared for Motorola order.
bool isTiff(const uint8_t* b, size_t n) {
  return startsWith(b, n, "II*", 3) || startsWith(b, n, "MM", 2);
}

constexpr ImgSignature kImgSignatures[] = {
    {"BMP", isBmp}, {"GIF", isGif}, {"PCX", isPcx}, {"JPEG", isJpeg}, {"TIFF", isTiff},
};

}  // namespace

std::span<const ImgSignature> imgSignatures() {
  return kImgSignatures;
}

const char* imgDetectSignature(const uint8_t* bytes, size_t count) {
  for (const ImgSignature& s : kImgSignatures) {
    if (s.matches(bytes, count)) return s.tag;
  }
  return nullptr;
}

}  // namespace zc::codec
