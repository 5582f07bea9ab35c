// Cropping of a scanned side in place: the document is bright on a dark ground. Ten sample rows and
// columns find the four edges; the rear side of a document is then matched to the size its front was
// cropped to.
#pragma once

#include <cstdint>
#include <span>

namespace zc::imaging {

class DibCropper {
 public:
  // Crops the packed DIB in `dib` (front flag 1 for the front side, 0 for the rear). 0; -104 or -105 for
  // a DIB that fails its header checks. 1-bit DIBs and depths other than 4, 8 and 24 are left alone.
  int Crop(int enable, int threshold, std::span<uint8_t> dib, int front);

  int frontWidth() const { return frontWidth_; }
  int frontHeight() const { return frontHeight_; }

 private:
  int frontWidth_ = 0;
  int frontHeight_ = 0;
};

// The capture program's cropper: one front crop size for the process, used on the API thread.
int DIBCrop(int enable, int threshold, std::span<uint8_t> dib, int front);

}  // namespace zc::imaging
