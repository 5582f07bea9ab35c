// Fuzz entry for the JPEG information step and the comment reader: the marker walks on arbitrary bytes.
// They must end with the frame (or the comments) or a decoder error code, never read beyond the input
// nor write past the comment buffer.
#include <cstddef>
#include <cstdint>

#include "codec/jpeg/decoder/jpeg_decode.h"
#include "codec/jpeg/decoder/jpeg_error.h"
#include "codec/jpeg/decoder/jpeg_markers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zc::jpegdec::MemorySource src(data, size);
  try {
    zc::jpegdec::ReadJpegInfo(src);
  } catch (const zc::jpegdec::JpegError& e) {
    if (e.code < 1 || e.code > 73) __builtin_trap();
  }
  char comments[64];
  zc::jpegdec::MemorySource again(data, size);
  zc::jpegdec::InputWindow win(again, 9216);
  uint16_t dropped = 0;
  if (zc::jpegdec::ReadComments(win, comments, sizeof(comments), &dropped) >= sizeof(comments))
    __builtin_trap();
  return 0;
}
