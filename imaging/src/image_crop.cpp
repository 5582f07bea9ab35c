// Cropping a bilevel page to a rectangle: the page decoded band by band at 1:1 and coded again as G4
// behind the tags of the source page.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "codec/bilevel/fax_decoder.h"
#include "codec/bilevel/fax_encoder.h"
#include "codec/bilevel/view_transform.h"
#include "imaging/image_files.h"
#include "imaging/tiff_read.h"
#include "imaging/tiff_tags.h"
#include "imaging_trace.h"
#include "platform/paths.h"
#include "tiff_file.h"
#include "zarn/status.h"

namespace zc::imaging {
namespace {

constexpr uint32_t kCropDataStart = 256;

int RoundUp16(int v) {
  return (v + 15) / 16 * 16;
}

// Decodes the window of `view` (opened on `file`) and hands each window row to `row` (index, bytes).
template <class RowFn>
int DecodeWindow(codec::ImageView view, int file, RowFn row) {
  view.fileHandle = file;
  view.optionFlags = codec::kViewOptStart;
  const size_t stride = static_cast<size_t>(view.windowWidth) / 8;
  std::vector<uint8_t> line(stride);
  int result = 0;
  while ((result = codec::funcFaxDecodeLines(&view)) == codec::kFaxStripReady) {
    codec::ViewStripPlacement p{};
    codec::funcViewGetState(&view, &p);
    const size_t rowBytes = static_cast<size_t>(p.width) / 8;
    for (int r = 0; r < p.height; ++r) {
      std::fill(line.begin(), line.end(), 0);
      const size_t at = static_cast<size_t>(std::max(p.x, 0)) / 8;
      if (at < stride) std::memcpy(line.data() + at, view.stripBuffer + r * rowBytes, std::min(rowBytes, stride - at));
      row(p.y + r, line.data());
    }
  }
  return result == codec::kFaxCannotStart ? result : 0;
}

// The view of `view`'s page at 1:1 over the rectangle, its window rounded up to 16.
codec::ImageView WindowOver(codec::ImageView view, int left, int top, int width, int height) {
  view.windowWidth = RoundUp16(width);
  view.windowHeight = RoundUp16(height);
  view.zoomX = view.zoomY = 2048;
  view.panX = left;
  view.panY = top;
  view.rotation = 0;
  return view;
}

}  // namespace

int funcGetImageFileBounds(const char* fileName, const codec::ImageView& view, int* left, int* top, int* right,
                           int* bottom) {
  tiff::Fd file(fileName == nullptr ? -1 : plat::OpenFileDescriptor(fileName, O_RDONLY | O_CLOEXEC));
  if (file.fd < 0) return 1;
  const int width = view.width, height = view.length;
  int l = width, t = height, r = 0, b = 0;
  const int result = DecodeWindow(WindowOver(view, 0, 0, width, height), file.fd, [&](int y, const uint8_t* line) {
    if (y < 0 || y >= height) return;
    for (int x = 0; x < width; ++x) {
      if ((line[x / 8] & (0x80 >> (x % 8))) == 0) continue;
      l = std::min(l, x);
      r = std::max(r, x + 1);
      t = std::min(t, y);
      b = std::max(b, y + 1);
    }
  });
  if (result != 0) return result;
  if (l >= r || t >= b) l = 0, t = 0, r = width, b = height;
  *left = l, *top = t, *right = r, *bottom = b;
  return 0;
}

int funcCropImageFileToTIFF(void* /*unused*/, const char* source, const char* target, int left, int top, int right,
                            int bottom, int percent) {
  codec::ImageView view{};
  view.windowWidth = 16;
  view.windowHeight = 16;
  if (funcOpenImageFile(nullptr, source, &view, 1) != 0) return 1;
  if (percent == -1) {
    left = 0, top = 0, right = view.width, bottom = view.length;
    percent = 0;
  }
  left = std::clamp(left, 0, view.width), right = std::clamp(right, left, view.width);
  top = std::clamp(top, 0, view.length), bottom = std::clamp(bottom, top, view.length);
  const int rectWidth = right - left, rectHeight = bottom - top;
  const int m = std::min(((right - left) * percent / 100 + 7) / 8, ((bottom - top) * percent / 100 + 7) / 8);
  const int lineWidth = (rectWidth + 16 * m + 7) / 8 * 8;
  const size_t lineBytes = static_cast<size_t>(lineWidth) / 8;

  tiff::Fd in(plat::OpenFileDescriptor(source, O_RDONLY | O_CLOEXEC));
  if (in.fd < 0) return 1;
  codec::FaxEncodeCtx ctx{};
  const std::string out = plat::ResolvePath(target != nullptr ? target : "");
  if (out.empty() || out.size() >= sizeof ctx.outputName) return 3;
  std::strncpy(ctx.outputName, out.c_str(), sizeof ctx.outputName - 1);
  ctx.mode = 1;
  ctx.width = lineWidth;
  ctx.outputStart = kCropDataStart;
  ctx.resX = view.imageResX;
  ctx.resY = view.imageResY;
  ctx.fillOrder = 0;
  ctx.k = 4;
  if (codec::funcFaxEncodeOpen(&ctx) != codec::kFaxEncOk) {
    TraceAt(1, "Error: Compression Start");
    return 3;
  }
  std::vector<uint8_t> line;
  try {
    line.assign(lineBytes + 16, 0);
  } catch (const std::bad_alloc&) {
    TraceAt(1, "Error: Memory Allocation Error");
    codec::funcFaxEncodeFreeBuffers(&ctx);
    if (ctx.fileHandle >= 0) ::close(ctx.fileHandle);
    return 2;
  }
  const std::vector<uint8_t> blank(lineBytes + 16, 0);
  // The margins are 8m lines above and below; of the decoded window only the rectangle's rows are kept,
  // so the page is exactly the rectangle plus its margins.
  for (int i = 0; i < 8 * m; ++i) codec::funcFaxEncodeLine(&ctx, blank.data());
  const int decoded = DecodeWindow(WindowOver(view, left, top, rectWidth, rectHeight), in.fd,
                                   [&](int y, const uint8_t* row) {
                                     if (y < 0 || y >= rectHeight) return;
                                     std::fill(line.begin(), line.end(), 0);
                                     const size_t copy = std::min(static_cast<size_t>(RoundUp16(rectWidth)) / 8,
                                                                  lineBytes - static_cast<size_t>(m));
                                     std::memcpy(line.data() + m, row, copy);
                                     // Columns past the rectangle stay white.
                                     for (int x = rectWidth; x < 8 * static_cast<int>(copy); ++x)
                                       line[m + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
                                     codec::funcFaxEncodeLine(&ctx, line.data());
                                   });
  for (int i = 0; i < 8 * m; ++i) codec::funcFaxEncodeLine(&ctx, blank.data());
  const int closed = codec::funcFaxEncodeClose(&ctx);
  if (ctx.fileHandle >= 0) ::close(ctx.fileHandle);
  if (decoded != 0 || closed != 0) return 4;

  codec::ImageView cropped = view;
  cropped.width = lineWidth;
  cropped.length = rectHeight + 16 * m;
  cropped.decoderMode = 1;
  cropped.stripByteCount = ctx.bytesDelivered;
  if (funcLoadTIFFTags(source, 1) != 0) return 1;
  tiff::Fd written(::open(out.c_str(), O_RDWR | O_CLOEXEC));
  if (written.fd < 0 || funcSetCroppedTIFFTags(view, cropped, written.fd) != 0) {
    funcLoadTIFFTags(nullptr, 1);  // leaves the table empty
    return 4;
  }
  return 0;
}

int ZARNCropTIFFImage(const char* sourceName, const char* targetName, int percent) {
  const std::string source = funcApplyFileNameRule(sourceName);
  const std::string target = funcApplyFileNameRule(targetName);
  if (percent < -1 || percent > 25) percent = 0;
  codec::ImageView view{};
  view.windowWidth = 16;
  view.windowHeight = 16;
  if (funcOpenImageFile(nullptr, source.c_str(), &view, 1) != 0 || view.decoderMode >= 6) return zarn::kBadFileName;
  int left = 0, top = 0, right = view.width, bottom = view.length;
  if (percent != -1 &&
      funcGetImageFileBounds(source.c_str(), WindowOver(view, 0, 0, view.width, view.length), &left, &top, &right,
                             &bottom) != 0) {
    return zarn::kBadFileName;
  }
  // Cropping a file onto itself is written beside it first: the source is read while the target is coded.
  tiff::Fd a(plat::OpenFileDescriptor(source, O_RDONLY | O_CLOEXEC));
  tiff::Fd b(plat::OpenFileDescriptor(target, O_RDONLY | O_CLOEXEC));
  const bool inPlace = a.fd >= 0 && b.fd >= 0 && tiff::SameFile(a.fd, b.fd);
  const std::string written = inPlace ? plat::ResolvePath(target) + ".crop" : target;
  if (funcCropImageFileToTIFF(nullptr, source.c_str(), written.c_str(), left, top, right, bottom, percent) != 0) {
    if (inPlace) ::unlink(written.c_str());
    return zarn::kBadFileName;
  }
  if (inPlace && ::rename(written.c_str(), plat::ResolvePath(target).c_str()) != 0) {
    ::unlink(written.c_str());
    return zarn::kBadFileName;
  }
  return 1;
}

}  // namespace zc::imaging
