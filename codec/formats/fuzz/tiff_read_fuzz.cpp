// Fuzz entry point of the TIFF reader and the LZW strip reader it hands 8-bit LZW strips to.
#include "codec/formats/fuzz/fuzz_decode.h"
#include "codec/formats/raster_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const zc::codec::ImgDecompFormat kRows[] = {zc::codec::tiffDecompFormat(),
                                                     zc::codec::lzwDecompFormat()};
  zc::codec::fuzz::decodeAll(data, size, kRows);
  return 0;
}
