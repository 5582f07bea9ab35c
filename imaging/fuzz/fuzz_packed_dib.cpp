// Fuzz target over packed DIBs: the input is the whole block, held in a buffer of exactly its size, so
// header fields (size, width, height, bit count, colours used) are checked against a known block size.
// Every conversion and both cropper calls run on it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/dib_convert.h"
#include "imaging/dib_crop.h"
#include "imaging/packed_dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zc::imaging;
  const std::vector<uint8_t> input(data, data + size);
  // A record never needs more than the DIB's pixel bytes and its header.
  std::vector<uint8_t> record(size + 8);

  std::vector<uint8_t> dib = input;
  PackedDibInfo info;
  ReadPackedDib(dib, &info);
  funcDIBPixelAddress(std::span<const uint8_t>(dib));
  funcDIBPaletteBytes(dib);
  funcDIBColorCount(dib);
  funcDIBToImage(dib, record, 1, 0, 0, 128, 200, nullptr, 0);
  funcDIBToImage(dib, record, 0, 0, 0, 128, 200, nullptr, 0);

  DibCropper cropper;
  std::vector<uint8_t> front = input;
  cropper.Crop(1, 64, front, 1);
  std::vector<uint8_t> rear = input;
  cropper.Crop(1, 64, rear, 0);
  // A cropped DIB must still pass its own header checks.
  if (ReadPackedDib(front, &info) == 0) funcDIBToImage(front, record, 0, 0, 0, 128, 200, nullptr, 0);
  return 0;
}
