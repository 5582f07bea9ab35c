// The image-transfer window of one document side.
#include "qv6/later/acquisition_window.h"

#include <algorithm>
#include <cstdint>

namespace qv6::later {
namespace {

constexpr int64_t kTenthsPerInch = 254;

int64_t RoundDownEven(int64_t v) {
  return v >= 0 ? v & ~int64_t{1} : -((-v + 1) & ~int64_t{1});
}

}  // namespace

int AcquisitionWindow::WindowOffset(const SideGeometry& g) const {
  const int sensor = g.topDown && mirrorTopDown ? g.startPixel + g.goodPixels - upper : g.startPixel + lower;
  return sensor - firstPixel;
}

std::optional<AcquisitionWindow> ComputeAcquisitionWindow(const SideGeometry& g, const WindowRequest& r) {
  if (g.goodPixels <= 0 || g.startPixel < 0 || g.resolution <= 0) return std::nullopt;
  if (int64_t{g.startPixel} + g.goodPixels > kMaxLinePixels) return std::nullopt;
  if (r.lineCount <= 0 || r.lineCount > kMaxDocumentLines || r.firstLine < 0) return std::nullopt;
  // The reported width counts only as far as the sensor sees.
  const int64_t width = std::clamp<int64_t>(r.width, 0, g.goodPixels);
  if (width < 2) return std::nullopt;

  const int64_t below = int64_t{r.bottom} * g.resolution / kTenthsPerInch;
  const int64_t above = int64_t{r.top} * g.resolution / kTenthsPerInch;
  // A negative bound counts back from the far edge of the document.
  int64_t lower = RoundDownEven((below < 0 ? width : r.firstUsable) + below - 1);
  int64_t upper = RoundDownEven((above < 0 ? width : r.firstUsable) + above);
  lower = std::max<int64_t>(lower, 0);
  if (lower >= width) lower = 0;
  if (upper > width || upper <= lower) upper = width;

  AcquisitionWindow w;
  w.lower = static_cast<int>(lower);
  w.upper = static_cast<int>(upper);
  w.reversedStart = w.upper - 1;
  const int64_t s0 = g.topDown ? g.startPixel + g.goodPixels - upper : g.startPixel + lower;
  const int64_t s1 = g.topDown ? g.startPixel + g.goodPixels - lower : g.startPixel + upper;
  const int64_t unit = r.halfSize ? 128 : 64;
  w.firstPixel = static_cast<int>(s0 / unit * unit);
  w.endPixel = static_cast<int>((s1 + unit - 1) / unit * unit);
  w.halfSize = r.halfSize;
  w.firstLine = r.firstLine;
  w.endLine = r.firstLine + r.lineCount;
  if (w.endLine > 0xFFFF || w.endPixel > 0xFFFF || w.Lines() <= 0) return std::nullopt;
  return w;
}

std::optional<AcquisitionWindow> ComputeFullWidthWindow(const SideGeometry& g, const WindowRequest& r) {
  if (g.totalPixels <= 0 || g.startPixel < 0 || g.resolution <= 0) return std::nullopt;
  if (g.totalPixels > kMaxLinePixels || g.startPixel >= g.totalPixels) return std::nullopt;
  if (r.lineCount <= 0 || r.lineCount > kMaxDocumentLines || r.firstLine < 0) return std::nullopt;
  const int64_t limit = std::min<int64_t>(g.totalPixels - g.startPixel, kMaxLinePixels);
  const int64_t t = std::clamp<int64_t>(r.width, 0, limit) & ~int64_t{1};
  if (t < 2) return std::nullopt;

  auto offset = [&](int bound, int64_t zero) -> int64_t {
    if (bound == 0) return zero;
    if (bound > 0) return int64_t{bound} * g.resolution / kTenthsPerInch;
    return t - (-int64_t{bound} * g.resolution) / kTenthsPerInch;
  };
  const int64_t u = offset(r.bottom, 0);
  const int64_t v = offset(r.top, t);
  // A line start of 0 with no bottom bound would put A before the line: it starts at 0.
  int64_t a = std::max<int64_t>(RoundDownEven(r.firstUsable + u - 1), 0);
  if (a >= t) a = 0;
  int64_t b = RoundDownEven(r.firstUsable + v);
  if (a >= b || b > t) b = t;

  AcquisitionWindow w;
  w.lower = static_cast<int>(a);
  w.upper = static_cast<int>(b);
  w.firstPixel = 0;
  w.endPixel = (g.totalPixels + 63) / 64 * 64;
  w.halfSize = false;
  w.mirrorTopDown = false;
  w.reversedStart = w.upper;
  w.firstLine = r.firstLine;
  w.endLine = r.firstLine + r.lineCount;
  if (w.endLine > 0xFFFF) return std::nullopt;
  return w;
}

std::optional<AcquisitionWindow> ComputeWholeWidthWindow(const SideGeometry& g, const WindowRequest& r) {
  if (g.goodPixels <= 0 || g.startPixel < 0 || g.resolution <= 0) return std::nullopt;
  if (r.lineCount <= 0 || r.lineCount > kMaxDocumentLines || r.firstLine < 0) return std::nullopt;
  const int64_t t = r.firstUsable;
  int64_t end = r.lastUsable;
  int64_t lower = (r.bottom > 0 ? int64_t{r.bottom} * g.resolution / kTenthsPerInch : 0) + t - 1;
  int64_t upper = (r.top > 0 ? int64_t{r.top} * g.resolution / kTenthsPerInch : end - t) + t - 1;
  upper = std::min(upper, end);
  if (lower >= end) lower = t;
  if (lower < upper) end = upper;
  lower = RoundDownEven(lower);
  end = RoundDownEven(end + 1);

  AcquisitionWindow w;
  w.firstPixel = 0;
  // The record's width is the scanner's word: lines wider than the correction tables are not asked for,
  // so a wild width cannot make the host take in more than a document.
  w.endPixel = static_cast<int>(std::clamp<int64_t>(r.width, 0, kMaxLinePixels) & ~int64_t{1});
  w.firstLine = r.firstLine;
  w.endLine = r.firstLine + r.lineCount;
  w.mirrorTopDown = true;
  // The window has to lie inside the correction tables and the line the scanner sends.
  if (lower < 0 || end <= lower || end > kMaxLinePixels || end > g.goodPixels) return std::nullopt;
  w.lower = static_cast<int>(lower);
  w.upper = static_cast<int>(end);
  w.reversedStart = w.upper - 1;
  const int64_t start =
      g.topDown ? int64_t{g.startPixel} + g.goodPixels - end : int64_t{g.startPixel} + lower;
  if (start < 0 || start + (end - lower) > w.endPixel) return std::nullopt;
  if (w.endLine > 0xFFFF) return std::nullopt;
  return w;
}

}  // namespace qv6::later
