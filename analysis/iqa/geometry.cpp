// Outline tests on the IQA image, where the ground outside the document is black: the size against the
// standard sizes, the skew of the bottom edge, torn or folded corners, black borders (cropped), and a
// second document sticking out at the top.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "analysis/iqa/iqa_image.h"
#include "analysis/iqa/iqa_tests.h"

namespace analysis::iqa {
namespace {

constexpr int16_t kSkewAngles[256] = {
#include "skew_angles.inc"
};

constexpr int kOcrVerifyLogParam = 117;  // "OCR MICR Verify Log"
constexpr int kLogGeometry = 0x4;

int P(int c, int r) {
  return IQAGetPixel(c, r);
}

}  // namespace

int SkewAngle(int index) {
  return index >= 0 && index < 256 ? kSkewAngles[index] : 0;
}

int VerifyDocumentSize() {
  IQAImage& im = Image();
  if (im.xDpi < 10) im.xDpi = 200;
  if (im.yDpi < 10) im.yDpi = 200;
  const int64_t w = (int64_t{im.width} * 10 + im.xDpi / 20) / im.xDpi;
  const int64_t h = (int64_t{im.height} * 10 + im.yDpi / 20) / im.yDpi;
  const IQAStandardSizeTable& t = StandardSizes();
  for (int k = 0; k < t.count && k < 32; ++k) {
    if (std::llabs(w - t.entries[k].width) <= t.tolerance &&
        std::llabs(h - t.entries[k].height) <= t.tolerance) {
      return k;
    }
  }
  LogAt(1, "NonStandard Document Size IQAWidth %d, IQAHeight %d", im.width, im.height);
  return -1;
}

int VerifySkew(int* angleIndex) {
  LogAt(1, "VerifySkew");
  int dummy = 0;
  if (angleIndex == nullptr) angleIndex = &dummy;
  *angleIndex = 0;
  const IQAImage& im = Image();
  // Below 72 px the outer probes would read neighbouring rows.
  if (!im.held() || im.width < 72) return 0;
  const int probe[3] = {8, im.rowBytes / 2, im.rowBytes - 8};
  int edge[3] = {-1, -1, -1};
  for (int r = im.height - 8; r > 64 && (edge[0] < 0 || edge[1] < 0 || edge[2] < 0); --r) {
    const uint8_t* row = im.Row(r);
    for (int i = 0; i < 3; ++i) {
      if (edge[i] < 0 && (row[probe[i]] & 0xF0) != 0xF0) edge[i] = r + 1;
    }
  }
  const int h = im.height;
  LogAt(2, "IQA Skew %d,%d,%d", h - edge[0], h - edge[1], h - edge[2]);
  if (std::abs(h - edge[0]) < 16 && std::abs(h - edge[1]) < 16 && std::abs(h - edge[2]) < 16) return 0;
  const int diff = std::abs(edge[0] - edge[2]);
  if (im.width > 200) *angleIndex = std::min(255, diff * 256 / (im.width - 128));
  if (std::abs(h - edge[0]) >= 65 && edge[0] >= 101) return h - edge[0];
  if (std::abs(h - edge[2]) >= 65 && edge[2] >= 101) return h - edge[2];
  return diff < 17 ? 0 : diff;
}

int VerifyCorners(int* tl, int* tr, int* bl, int* br) {
  LogAt(1, "VerifyCorners");
  const IQAImage& im = Image();
  const int w = im.width, h = im.height;
  auto walk = [](auto inside, auto pixel) {
    int k = 8;
    while (inside(k) && pixel(k)) ++k;
    return k < 9 ? 0 : k;
  };
  const int d[4] = {
      walk([&](int k) { return k < w && k < h; }, [&](int k) { return P(k, k); }),
      walk([&](int k) { return k < w - 8 && k < h; }, [&](int k) { return P(w - k - 8, k); }),
      walk([&](int k) { return k < w && k < h - 8; }, [&](int k) { return P(k, h - k - 8); }),
      walk([&](int k) { return k < w - 8 && k < h - 8; }, [&](int k) { return P(w - k - 8, h - k - 8); }),
  };
  if (tl) *tl = d[0];
  if (tr) *tr = d[1];
  if (bl) *bl = d[2];
  if (br) *br = d[3];
  const int largest = *std::max_element(d, d + 4);
  if (largest > 16) LogAt(2, "Corners %d,%d,%d,%d", d[0], d[1], d[2], d[3]);
  return largest;
}

int IQAAutoCrop() {
  LogAt(1, "IQAAutoCrop");
  IQAImage& im = Image();
  if (!im.held() || im.height < 200 || im.width < 200) return 0;
  int rows[8], cols[8];
  for (int i = 0; i < 8; ++i) {
    rows[i] = ((im.height - 32) / 8) * i + 16;
    cols[i] = ((im.width - 32) / 8) * i + 16;
  }
  // The border on one side: the smallest run over the samples; a run of 100 disables that side.
  auto border = [](const int* samples, auto pixel) {
    int smallest = 100;
    for (int i = 0; i < 8; ++i) {
      int n = 0;
      while (n < 100 && pixel(samples[i], n)) ++n;
      if (n >= 100) return 0;
      smallest = std::min(smallest, n);
    }
    return smallest;
  };
  int L = border(rows, [&](int y, int n) { return P(n, y); });
  int T = border(cols, [&](int x, int n) { return P(x, n); });
  int R = border(rows, [&](int y, int n) { return P(im.width - 8 - n, y); });
  int B = border(cols, [&](int x, int n) { return P(x, im.height - 8 - n); });
  if (L < 9) L = 0;
  if (T < 9) T = 0;
  if (R < 9) R = 0;
  if (B < 9) B = 0;
  L &= ~7;
  R &= ~7;
  if (L == 0 && T == 0 && R == 0 && B == 0) return 0;
  const size_t n = static_cast<size_t>(im.rowBytes - L / 8 - R / 8);
  const int newHeight = im.height - T - B;
  // Rows move forward within the one buffer: source and destination overlap.
  for (int r = 0; r < newHeight; ++r) {
    std::memmove(im.pixels.data() + static_cast<size_t>(r) * n, im.Row(T + r) + L / 8, n);
  }
  im.width = static_cast<int32_t>(n * 8);
  im.height = newHeight;
  im.rowBytes = static_cast<int32_t>(n);
  // What lies behind the moved rows reads as white.
  std::fill(im.pixels.begin() + static_cast<ptrdiff_t>(n * static_cast<size_t>(newHeight)), im.pixels.end(),
            0);
  return T + L + R + B;
}

int IQADoubleTopEdge() {
  LogAt(1, "IQADoubleTopEdge");
  const IQAImage& im = Image();
  if (im.width < 128 || im.height < 100) return 1;
  int d[16];
  int64_t sum = 0;
  for (int i = 0; i < 16; ++i) {
    const int x = i * (im.width - 128) / 15 + 64;
    int r = 8;
    while (r < im.height && P(x, r)) ++r;
    d[i] = r;
    sum += r;
  }
  const int64_t m = sum / 16;
  int off = 0;
  for (int i = 0; i < 16; ++i) off += std::llabs(m - d[i]) > 16 ? 1 : 0;
  if (off < 2) return 0;
  if ((Param(kOcrVerifyLogParam) & kLogGeometry) != 0) {
    LocalLog("IQADoubleTopEdge %d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", d[0], d[1], d[2], d[3], d[4],
             d[5], d[6], d[7], d[8], d[9], d[10], d[11], d[12], d[13], d[14], d[15]);
  }
  return 2;
}

}  // namespace analysis::iqa
