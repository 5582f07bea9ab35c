// Window checks and band delivery.
#include "codec/formats/band_frame.h"

#include "codec/core/img_error.h"
#include "codec/core/img_rows.h"

namespace zc::codec::fmt {

int prepareWindow(ImgDecompDesc* desc) {
  if (desc->display == nullptr) return imgFail(kImgErrNullPointer);
  if (desc->windowWidth == 0 && desc->windowLeft < desc->width)
    desc->windowWidth = desc->width - desc->windowLeft;
  if (desc->windowHeight == 0 && desc->windowTop < desc->height) {
    desc->windowHeight = desc->height - desc->windowTop;
  }
  const bool inside = desc->windowWidth > 0 && desc->windowHeight > 0 &&
                      desc->windowLeft + desc->windowWidth <= desc->width &&
                      desc->windowTop + desc->windowHeight <= desc->height;
  return inside ? 0 : imgFail(kImgErrDimensions);
}

BandDelivery::BandDelivery(ImgDecompDesc* desc, int bytesPerPixel, int bandRows)
    : desc_(desc),
      bytesPerPixel_(bytesPerPixel),
      bandRows_(bandRows),
      stride_(static_cast<size_t>(desc->width) * bytesPerPixel),
      band_(stride_ * bandRows + 32) {
  desc->bandBuffer = band_.data();
  desc->bandStride = static_cast<uint32_t>(stride_);
}

int BandDelivery::deliverWindowRows(const uint8_t* rows, int firstRowInWindow, int n) {
  if (n <= 0) return 0;
  desc_->firstRowInWindow = static_cast<uint16_t>(firstRowInWindow);
  const int r =
      desc_->display(0, firstRowInWindow, desc_->windowWidth, firstRowInWindow + n, rows, desc_->userValue);
  desc_->displayResult = static_cast<uint32_t>(r);
  return r == 0 ? 0 : imgFail(kImgErrDisplayFunction);
}

int BandDelivery::deliver(int imageRow, int n) {
  desc_->currentRow = static_cast<uint16_t>(imageRow);
  const int rows = funcClipBandToWindow(desc_, n, bytesPerPixel_);
  return deliverWindowRows(band_.data(), desc_->firstRowInWindow, rows);
}

}  // namespace zc::codec::fmt
