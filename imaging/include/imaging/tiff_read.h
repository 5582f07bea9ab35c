// The program's own reader of bilevel TIFF pages: one image file directory into an ImageView for the
// codec's bilevel decoder, or, for any other file the codec knows (JPEG, BMP, GIF, PCX, 8-bit TIFF), its
// format and size through the codec; and the page count of a TIFF file.
//
// Everything a directory points at must lie inside the bytes actually read: a directory whose entries, or
// whose link to the next one, run past them is refused, and a rational outside them is read from the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/bilevel/image_view.h"
#include "codec/formats/tiff_ifd.h"

namespace zc::imaging {

// The directory's byte-order words.
inline constexpr uint16_t kTiffLittleEndian = codec::fmt::kTiffIntel;  // "II"
inline constexpr uint16_t kTiffBigEndian = codec::fmt::kTiffMotorola;  // "MM"

// The 16- and 32-bit values at `p` in `order`; 0 for another order word.
uint16_t funcTiffGet16(const uint8_t* p, uint16_t order);
uint32_t funcTiffGet32(const uint8_t* p, uint16_t order);
// An entry's value field by its type: 1 the byte, 3 16 bits, 2/4/5 32 bits (for 2 and 5 the data's offset),
// other types 0.
uint32_t funcTiffGetValue(const uint8_t* p, uint16_t order, int type);

// A directory held in memory: `bytes` valid bytes of the file read from `fileOffset`, and the open file
// for what lies outside them.
struct TiffBuffer {
  const uint8_t* data = nullptr;
  size_t bytes = 0;
  int64_t fileOffset = 0;
  int file = -1;
  uint16_t order = 0;
};
// numerator / denominator (unsigned division) of the rational at file offset `offset`, 1 for a zero
// denominator or one that cannot be read.
uint32_t funcTiffGetRational(const TiffBuffer& buffer, uint32_t offset);
// The 32-bit value at file offset `offset`, 0 when it cannot be read.
uint32_t funcTiffGetLongAt(const TiffBuffer& buffer, uint32_t offset);

// Page `page` (from 1) of the TIFF file open as `file` into `view`: 0, or 1 when the file is no TIFF, the
// page is missing or it is no single-strip 1-bit page. A page below 1 reads no directory and gives 0 with
// the view's fields cleared.
int funcReadTIFFInfo(int file, codec::ImageView* view, int page);
// The format and size of `file` through the codec: 0; 2 when no codec descriptor can be prepared; 3 when
// the codec does not read the header. Decoder modes 1024 BMP, 1025 GIF, 1026 PCX, 1027 colour JPEG,
// 1028 other JPEG, 1029 other formats; height at most 4096.
int funcReadJPEGInfo(int file, codec::ImageView* view);
// Opens page `page` of the named file into `view` (as a bilevel TIFF page, or for page 1 through the codec)
// and fits it to its window: 0, or 1. The file is closed again before returning and the view's file handle
// left at -1: whoever decodes the page opens the file again. The window is not used.
int funcOpenImageFile(void* window, const char* fileName, codec::ImageView* view, int page);
// The number of pages of a TIFF file; 1 for a file that is no TIFF; -105 when it cannot be opened; -106
// without memory. A directory chain that runs in a circle is counted once around.
int funcGetTIFFPageCount(const char* fileName);

}  // namespace zc::imaging
