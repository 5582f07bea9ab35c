// Result codes of the JPEG compressor; the numbers are those of the codec's error table (iImgError).
#pragma once

namespace zc::jpeg {

enum JpegResult : int {
  kJpegOk = 0,
  kJpegBadHandle = 1,          // output handle 0
  kJpegNoMemory = 2,           // allocation; progressive image of 65536 MCUs or more
  kJpegBadWindow = 8,          // band columns outside the image
  kJpegNullPointer = 12,       // band without pixels
  kJpegWriteFailed = 19,       // the output accepted fewer bytes than asked
  kJpegHuffmanOverflow = 28,   // a Huffman table with more than 256 codes
  kJpegBlockTooLarge = 45,     // a comment longer than one segment can hold
  kJpegNoCode = 50,            // a symbol without a Huffman code
  kJpegNoPalette = 51,         // palette input without a palette
  kJpegBadInputDepth = 52,     // bits per pixel other than 2..8 or 24
  kJpegStoreAllocFailed = 54,  // the coefficient store could not be allocated
  kJpegStoreGetFailed = 55,    // the coefficient store gave no address for an MCU
};

}  // namespace zc::jpeg
