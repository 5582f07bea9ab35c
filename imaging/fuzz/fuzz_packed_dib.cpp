// Fuzz target over packed DIBs: the input is the whole block, held in a buffer of exactly its size, so
// header fields (size, width, height, bit count, colours used) are checked against a known block size.
// Every conversion, both cropper calls and the file writer by format run on it; a BMP the writer reports
// as written must be as long as its header says.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "imaging/dib_convert.h"
#include "imaging/dib_crop.h"
#include "imaging/image_writers.h"
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

  // TIFF G4, BMP, gray JPEG, GIF, PCX and progressive JPEG; the writer may change the palette's first entry.
  static const std::string file = "/tmp/zc_fuzz_dib_" + std::to_string(::getpid()) + ".img";
  for (int format : {1, 3, 4, 5, 6, 8}) {
    std::vector<uint8_t> copy = input;
    const int written = VW_CompressDIB(copy, file.c_str(), format, 0, 0, 128, 200, nullptr, 0);
    if (format == 3 && written > 0 && ReadPackedDib(input, &info) == 0 && info.bitCount <= 8) {
      std::vector<uint8_t> head(54);
      FILE* f = std::fopen(file.c_str(), "rb");
      if (f == nullptr || std::fread(head.data(), 1, head.size(), f) != head.size()) __builtin_trap();
      std::fclose(f);
      const uint32_t declared = head[2] | head[3] << 8 | head[4] << 16 | static_cast<uint32_t>(head[5]) << 24;
      const uint32_t dataOffset =
          head[10] | head[11] << 8 | head[12] << 16 | static_cast<uint32_t>(head[13]) << 24;
      if (head[0] != 'B' || declared != static_cast<uint32_t>(written) ||
          dataOffset != 54 + (4u << info.bitCount) || declared - dataOffset != info.stride * info.height)
        __builtin_trap();
    }
    ::unlink(file.c_str());
  }
  return 0;
}
