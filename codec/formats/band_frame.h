// The decode frame the raster readers share: the caller's window is completed and checked against
// the image, decoded rows collect in a band buffer at the image width, and each band is cut to the
// window and handed to the display function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/core/img_desc.h"

namespace zc::codec::fmt {

// Window width 0 -> to the right edge, height 0 -> to the bottom edge; the window must be non-empty
// and inside the image (8); a display function is required (12). 0, or -1 with the code.
int prepareWindow(ImgDecompDesc* desc);

class BandDelivery {
 public:
  // bandRows rows of the image width, bytesPerPixel bytes a pixel. The band is the descriptor's band
  // buffer while the delivery lives.
  BandDelivery(ImgDecompDesc* desc, int bytesPerPixel, int bandRows);
  ~BandDelivery() { desc_->bandBuffer = nullptr; }
  BandDelivery(const BandDelivery&) = delete;
  BandDelivery& operator=(const BandDelivery&) = delete;

  uint8_t* row(int i) { return band_.data() + static_cast<size_t>(i) * stride_; }
  size_t stride() const { return stride_; }
  int bandRows() const { return bandRows_; }

  // Cuts band rows [0, n), image rows [imageRow, imageRow + n), to the window (funcClipBandToWindow)
  // and delivers what lies inside. 0, or -1 with 14 when the display function refuses.
  int deliver(int imageRow, int n);
  // Hands rows already packed at the window width to the display function.
  int deliverWindowRows(const uint8_t* rows, int firstRowInWindow, int n);

 private:
  ImgDecompDesc* desc_;
  int bytesPerPixel_;
  int bandRows_;
  size_t stride_;
  std::vector<uint8_t> band_;
};

}  // namespace zc::codec::fmt
