// Fuzz entry point of the BMP reader: header reader and decoder over a memory source.
#include "codec/formats/fuzz/fuzz_decode.h"
#include "codec/formats/raster_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const zc::codec::ImgDecompFormat kRows[] = {zc::codec::bmpDecompFormat()};
  zc::codec::fuzz::decodeAll(data, size, kRows);
  return 0;
}
