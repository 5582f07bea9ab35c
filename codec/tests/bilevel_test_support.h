// Helpers of the bilevel codec tests: encoding an image to memory, decoding a whole page
// through the strip decoder, PBM files, and a minimal TIFF writer and directory reader for
// exchanging strips with the libtiff command-line tools.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/bilevel/image_view.h"
#include "testkit/cheque/cheque_image.h"

namespace zc::codec::test {

using testkit::BilevelImage;

struct EncodeOptions {
  int mode = 1;
  int fillOrder = 0;
  int k = 4;
  int minLineBits = 0;
};

// Codes every row with the encoder writing to memory ("MEMORYDIRECT").
std::vector<uint8_t> encodeToMemory(const BilevelImage& img, const EncodeOptions& opt = {});

struct DecodeResult {
  BilevelImage image;
  int errorCode = 0;
  int errorLine = 0;
  int strips = 0;
};

// Decodes a whole page as the page loaders do (window of the size rounded up to 8, 1:1),
// placing every strip where funcViewGetState says, into a buffer of exactly the window.
DecodeResult decodePage(const std::vector<uint8_t>& data, int width, int height, int decoderMode,
                        int fillOrder = 0);
// The same over an already filled view (the window and source set by the caller).
DecodeResult decodeView(ImageView& view);

// PBM (P4) files of an image; readPbm throws std::runtime_error on anything but a valid PBM.
void writePbm(const std::filesystem::path& path, const BilevelImage& img);
BilevelImage readPbm(const std::filesystem::path& path);

// One-strip TIFF with the given compression (1 raw rows, 2 modified Huffman, 3, 4, 32773)
// around `data`, WhiteIsZero, FillOrder 1.
void writeTiff(const std::filesystem::path& path, int width, int height, int compression,
               const std::vector<uint8_t>& data);

struct TiffStrips {
  int width = 0;
  int height = 0;
  int compression = 1;
  uint32_t t4Options = 0;
  int fillOrder = 1;
  int photometric = 0;
  int rowsPerStrip = 0;
  std::vector<uint32_t> offsets;
  std::vector<uint32_t> counts;
};
// Reads the first directory of a classic TIFF (either byte order).
TiffStrips readTiffStrips(const std::vector<uint8_t>& file);

// Text of the first differing pixel, for failure messages.
std::string firstDifference(const BilevelImage& expected, const BilevelImage& actual);

}  // namespace zc::codec::test
