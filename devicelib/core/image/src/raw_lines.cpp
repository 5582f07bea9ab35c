// Geometry checks of the raw scan lines of one side.
#include "qv6/image/raw_lines.h"

namespace qv6 {

bool RawLineSource::GeometryFits() const {
  if (!lines_ || numberOfLines_ < 1 || bytesPerLine_ < 1 || pixelsPerLine_ < 1) return false;
  const uint64_t total = static_cast<uint64_t>(numberOfLines_) * static_cast<uint64_t>(bytesPerLine_);
  if (total > capacity_) return false;
  const int64_t pixels = pixelsPerLine_;
  switch (bitsPerPixel_) {
    case 4:
      return (pixels + 1) / 2 <= bytesPerLine_;
    case 8:
      return pixels <= bytesPerLine_;
    case 24:
      return pixels <= bytesPerLine_ / 3;
    default:
      return false;
  }
}

std::optional<PixelWindow> RawLineSource::ResolveWindow(int firstPixel, int lastPixel) const {
  PixelWindow w{firstPixel, lastPixel == 0 ? pixelsPerLine_ : lastPixel};
  if (w.last < w.first || w.first < 1 || w.last > pixelsPerLine_) return std::nullopt;
  return w;
}

bool RawLineSource::IndicesFit(int64_t first, int64_t step, int64_t count, int64_t limit) {
  if (count <= 0) return true;
  const int64_t last = first + step * (count - 1);
  return first >= 0 && first < limit && last >= 0 && last < limit;
}

}  // namespace qv6
