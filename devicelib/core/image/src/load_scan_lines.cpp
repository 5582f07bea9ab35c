// CLoadScanLines::BuildImage: raw lines of one side to its DIB, one line per column.
#include "line_mapping.h"
#include "qv6/image/scan_lines.h"

namespace qv6 {

int CLoadScanLines::BuildImage(int orientation, int firstPixel, int lastPixel) {
  const auto window = ResolveWindow(firstPixel, lastPixel);
  if (!window || orientation != 1) return 0;
  const int mode = CorrectionMode();
  if (mode != 2 && mode != 3) return 0;
  if (!GeometryFits()) return 0;

  lines::LineRead read;
  read.lines = Line(0);
  read.bytesPerLine = bytesPerLine_;
  read.numberOfLines = numberOfLines_;
  const bool backwards = (flags_ & kFlagReversePixels) != 0;
  read.start = backwards ? int64_t{pixelsPerLine_} - window->first : int64_t{window->first} - 1;
  read.step = backwards ? -1 : 1;
  read.reverseLines = (flags_ & kFlagReverseLines) != 0;

  if (!Create(numberOfLines_, window->Count(), bitsPerPixel_, resolution_)) return 0;
  const auto image = DibView{GetBits(), GetBytesPerLine(), GetWidth(), GetHeight(), bitsPerPixel_};
  switch (bitsPerPixel_) {
    case 8:
      lines::LinesToColumns8(read, image);
      break;
    case 24:
      lines::LinesToColumns24(read, bytesPerLine_ / 3, image);
      break;
    default:
      lines::LinesToColumns4(read, lines::NibbleOrder::kLowFirst, image);
      break;
  }
  return 1;
}

}  // namespace qv6
