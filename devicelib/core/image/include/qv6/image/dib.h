// CDib: one image of the library held as a packed DIB (header, grey palette, bottom-up pixel rows in one
// heap block). The block's address is what the device library hands to its callers, who may read it and
// write into its header in place; every operation therefore re-reads the header and checks it against
// the block before touching pixels.
//
// Besides creation the class carries the geometric operations the device families apply to a finished
// image: a window crop, an 8-bit to 4-bit reduction and nine resolution changes. Every operation that
// makes a new image builds it completely before the old block is released; on failure the old image is
// kept. Operations return 1 for success and 0 for failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "qv6/image/dib_format.h"

namespace qv6 {

class CDib {
 public:
  CDib() = default;
  virtual ~CDib() = default;

  CDib(const CDib&) = delete;
  CDib& operator=(const CDib&) = delete;

  // The packed DIB, or null when there is no image.
  uint8_t* GetDibPtr() const { return block_.get(); }

  // Header readers. The 12-byte core header is accepted: its width, height and bit count are the 16-bit
  // fields at offsets 4, 6 and 10. Without an image they return 0 (null for GetBits).
  int GetWidth() const;
  int GetHeight() const;
  int GetBitCount() const;
  int GetBytesPerLine() const;
  // The colours-used field for a 40-byte header when it is not 0 (at most 256); otherwise 2, 16 or 256
  // for 1, 4 or 8 bits per pixel and 0 for any other depth.
  int GetNumColors() const;
  // Colours * 4 (40-byte header) or * 3 (core header).
  int GetPaletteSize() const;
  // Bytes per line * height.
  uint32_t GetImageSize() const;
  // Header + palette + pixel bytes (the stored image-size field for compression 1 or 2), never more than
  // the block holds.
  uint32_t GetDibSize() const;
  // First pixel row, or null when the rows that the header describes do not lie inside the block.
  uint8_t* GetBits() const;

  // Replaces the image by a new one with the grey palette (1 bit black and white, 4 bits 17 * i, 8 bits
  // i). Both resolutions are set from dpi. Pixel bytes are left for the caller to fill; row padding is
  // zeroed. Fails (no image left) for a negative size, a bit count other than 1, 4, 8 or 24, or a block
  // larger than kMaxDibBytes.
  int Create(int width, int height, int bitCount, int dpi);

  // Keeps columns x0..x1 and rows y0..y1 (storage order, row 0 first stored). Bounds are normalised
  // against the size: a negative value counts from the end, an end bound of 0 means the last one, values
  // beyond the size are clamped. For 1- and 4-bit images x0 is rounded down to a byte boundary.
  int Crop(int x0, int x1, int y0, int y1);

  // 8-bit (256-colour) image to 4 bits per pixel with the 16-level grey palette.
  int ConvertTo4Bit();

  // Resolution changes of 8- and 24-bit images (24-bit per channel). The new image carries the written
  // resolution: 100 dpi for the reductions, 200 dpi for the two-thirds and widening steps.
  int HalveSize();                   // w/2 x h/2, mean of 2x2
  int HalveWidthThirdHeight();       // w/2 x h/3, mean of 2 wide x 3 high
  int ThirdSize();                   // w/3 x h/3, mean of 3x3
  int ThirdHeight();                 // w x h/3, mean of three rows
  int DoubleWidthTwoThirdsHeight();  // 2w x 2h/3
  int TwoThirdsSize();               // 2w/3 x 2h/3
  int TwoThirdsHeight();             // w x 2h/3
  int TripleWidth();                 // 3w x h
  int ThreeHalvesWidth();            // 3w/2 x h

 private:
  using Fill = std::function<void(const DibView& source, const DibView& target)>;

  // The pixel geometry the header describes, present only when it is consistent and its rows lie inside
  // the block.
  std::optional<DibView> CheckedView() const;
  bool IsCoreHeader() const;
  uint32_t HeaderSize() const;

  // Builds a new image of the given size and depth, lets fill write its pixels from the present image,
  // and only then replaces the present block. 0 (image kept) when the new block cannot be made.
  int Rebuild(const DibView& source, int64_t width, int64_t height, int bitCount, int dpi, const Fill& fill);
  // Rebuild for the resolution changes of 8- and 24-bit images: the new size is (w * mulW) / divW by
  // (h * mulH) / divH.
  int Resample(int mulW, int divW, int mulH, int divH, int dpi, const Fill& fill);

  std::unique_ptr<uint8_t[]> block_;
  size_t blockSize_ = 0;
};

}  // namespace qv6
