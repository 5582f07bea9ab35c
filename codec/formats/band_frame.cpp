// Window checks and band delivery.
#include "codec/formats/band_frame.h"

#include <algorithm>
#include <cstring>

#include "codec/core/img_error.h"

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
      band_(stride_ * bandRows + 32) {}

int BandDelivery::deliverWindowRows(const uint8_t* rows, int firstRowInWindow, int n) {
  if (n <= 0) return 0;
  desc_->firstRowInWindow = static_cast<uint16_t>(firstRowInWindow);
  const int r =
      desc_->display(0, firstRowInWindow, desc_->windowWidth, firstRowInWindow + n, rows, desc_->userValue);
  desc_->displayResult = static_cast<uint32_t>(r);
  return r == 0 ? 0 : imgFail(kImgErrDisplayFunction);
}

int BandDelivery::deliver(int imageRow, int n) {
  const int top = desc_->windowTop;
  const int first = std::max(imageRow, top);
  const int end = std::min(imageRow + n, top + desc_->windowHeight);
  if (first >= end) return 0;
  const size_t left = static_cast<size_t>(desc_->windowLeft) * bytesPerPixel_;
  const size_t width = static_cast<size_t>(desc_->windowWidth) * bytesPerPixel_;
  for (int i = 0; i < end - first; ++i) {
    std::memmove(band_.data() + width * i, row(first - imageRow + i) + left, width);
  }
  return deliverWindowRows(band_.data(), first - top, end - first);
}

}  // namespace zc::codec::fmt
