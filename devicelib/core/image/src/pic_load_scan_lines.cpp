// CPICLoadScanLines::BuildImage: raw lines of the second path to a DIB, as rows or as columns.
#include "line_mapping.h"
#include "qv6/image/pic_scan_lines.h"

namespace qv6 {

int CPICLoadScanLines::BuildImage(int orientation, int firstPixel, int lastPixel) {
  if (bitsPerPixel_ != 4 && bitsPerPixel_ != 8) return 0;
  const auto window = ResolveWindow(firstPixel, lastPixel);
  if (!window || (orientation != 0 && orientation != 1)) return 0;
  const int mode = CorrectionMode();
  if (mode != 2 && mode != 3) return 0;
  if (!GeometryFits()) return 0;

  // Without 0x400 the lines are read backwards; the line order is reversed for rows without 0x400 and
  // for columns with it.
  const bool flagged = (flags_ & kFlagReverseLines) != 0;
  lines::LineRead read;
  read.lines = Line(0);
  read.bytesPerLine = bytesPerLine_;
  read.numberOfLines = numberOfLines_;
  read.start = flagged ? int64_t{window->first} - 1 : int64_t{pixelsPerLine_} - window->first;
  read.step = flagged ? 1 : -1;
  read.reverseLines = orientation == 0 ? !flagged : flagged;

  const int n = window->Count();
  const bool created = orientation == 0 ? Create(n, numberOfLines_, bitsPerPixel_, resolution_)
                                        : Create(numberOfLines_, n, bitsPerPixel_, resolution_);
  if (!created) return 0;
  const auto image = DibView{GetBits(), GetBytesPerLine(), GetWidth(), GetHeight(), bitsPerPixel_};
  const bool swap = (flags_ & kFlagSwapNibbles) != 0;
  if (orientation == 0) {
    if (bitsPerPixel_ == 8)
      lines::LinesToRows8(read, image);
    else
      lines::LinesToRows4(read, lines::NibbleOrder::kHighFirst, swap, image);
  } else {
    if (bitsPerPixel_ == 8)
      lines::LinesToColumns8(read, image);
    else
      lines::LinesToColumns4(read, lines::NibbleOrder::kHighFirst, image);
  }
  return 1;
}

}  // namespace qv6
