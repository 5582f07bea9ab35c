// The nine resolution changes of CDib. Each is written once over a pixel of C bytes (C = 1 for 8-bit
// grey, 3 for 24-bit colour, averaged channel by channel) and picked by the image's depth.
#include <algorithm>

#include "qv6/image/dib.h"

namespace qv6 {
namespace {

constexpr int kReducedDpi = 100;
constexpr int kTwoThirdsDpi = 200;

// Sample c of pixel x in row y of v.
template <int C>
inline int At(const DibView& v, int64_t y, int64_t x, int c) {
  return v.Row(y)[x * C + c];
}

template <int C>
inline void Put(const DibView& v, int64_t y, int64_t x, int c, int value) {
  v.Row(y)[x * C + c] = static_cast<uint8_t>(value);
}

// Mean of a bw x bh block for every output pixel.
template <int C>
void BoxMean(const DibView& s, const DibView& d, int bw, int bh) {
  for (int y = 0; y < d.height; ++y) {
    for (int x = 0; x < d.width; ++x) {
      for (int c = 0; c < C; ++c) {
        int sum = 0;
        for (int dy = 0; dy < bh; ++dy)
          for (int dx = 0; dx < bw; ++dx) sum += At<C>(s, int64_t{y} * bh + dy, int64_t{x} * bw + dx, c);
        Put<C>(d, y, x, c, sum / (bw * bh));
      }
    }
  }
}

// Each pixel p gives two: p and the mean with its right neighbour. Groups of three rows give two rows: the
// first from r0, the second from r1 and r2. The last pixel of a row stands in for its missing neighbour.
template <int C>
void DoubleWidthTwoThirdsHeightOp(const DibView& s, const DibView& d) {
  for (int o = 0; o < d.height; ++o) {
    const int64_t r0 = int64_t{o / 2} * 3;
    for (int64_t p = 0; p < s.width; ++p) {
      const int64_t q = std::min<int64_t>(p + 1, s.width - 1);
      for (int c = 0; c < C; ++c) {
        if (o % 2 == 0) {
          const int a = At<C>(s, r0, p, c);
          Put<C>(d, o, 2 * p, c, a);
          Put<C>(d, o, 2 * p + 1, c, (a + At<C>(s, r0, q, c)) >> 1);
        } else {
          const int a1 = At<C>(s, r0 + 1, p, c);
          const int a2 = At<C>(s, r0 + 2, p, c);
          Put<C>(d, o, 2 * p, c, (a1 + a2) >> 1);
          Put<C>(d, o, 2 * p + 1, c, (a1 + At<C>(s, r0 + 1, q, c) + a2 + At<C>(s, r0 + 2, q, c)) >> 2);
        }
      }
    }
  }
}

// Each 3x3 block gives 2x2: the first output column and row take pixel p and row r0 as they are, the
// second the mean of the other two. A width or height of 3k + 2 leaves one partial block, whose single
// output pixel or row follows the same first-column or first-row rule.
template <int C>
void TwoThirdsSizeOp(const DibView& s, const DibView& d) {
  for (int o = 0; o < d.height; ++o) {
    const int64_t r0 = int64_t{o / 2} * 3;
    for (int x = 0; x < d.width; ++x) {
      const int64_t p = int64_t{x / 2} * 3;
      for (int c = 0; c < C; ++c) {
        int value;
        if (o % 2 == 0) {
          value = x % 2 == 0 ? At<C>(s, r0, p, c) : (At<C>(s, r0, p + 1, c) + At<C>(s, r0, p + 2, c)) >> 1;
        } else if (x % 2 == 0) {
          value = (At<C>(s, r0 + 1, p, c) + At<C>(s, r0 + 2, p, c)) >> 1;
        } else {
          value = (At<C>(s, r0 + 1, p + 1, c) + At<C>(s, r0 + 1, p + 2, c) + At<C>(s, r0 + 2, p + 1, c) +
                   At<C>(s, r0 + 2, p + 2, c)) >>
                  2;
        }
        Put<C>(d, o, x, c, value);
      }
    }
  }
}

// Each group of three rows gives two: r0 as it is, then the mean of r1 and r2.
template <int C>
void TwoThirdsHeightOp(const DibView& s, const DibView& d) {
  for (int o = 0; o < d.height; ++o) {
    const int64_t r0 = int64_t{o / 2} * 3;
    for (int64_t i = 0; i < int64_t{d.width} * C; ++i) {
      d.Row(o)[i] =
          o % 2 == 0 ? s.Row(r0)[i] : static_cast<uint8_t>((s.Row(r0 + 1)[i] + s.Row(r0 + 2)[i]) >> 1);
    }
  }
}

// Each pixel p with right neighbour q gives p, (2p + q) / 3, (p + 2q) / 3; the last pixel is repeated.
template <int C>
void TripleWidthOp(const DibView& s, const DibView& d) {
  for (int y = 0; y < d.height; ++y) {
    for (int64_t p = 0; p < s.width; ++p) {
      const int64_t q = std::min<int64_t>(p + 1, s.width - 1);
      for (int c = 0; c < C; ++c) {
        const int a = At<C>(s, y, p, c);
        const int b = At<C>(s, y, q, c);
        Put<C>(d, y, 3 * p, c, a);
        Put<C>(d, y, 3 * p + 1, c, (2 * a + b) / 3);
        Put<C>(d, y, 3 * p + 2, c, (a + 2 * b) / 3);
      }
    }
  }
}

// Each pixel pair (p, q) gives p, (p + q) / 2, q. An odd width ends in one output pixel from the lone
// last pixel.
template <int C>
void ThreeHalvesWidthOp(const DibView& s, const DibView& d) {
  for (int y = 0; y < d.height; ++y) {
    for (int64_t o = 0; o < d.width; ++o) {
      const int64_t p = (o / 3) * 2;
      const int64_t q = std::min<int64_t>(p + 1, s.width - 1);
      for (int c = 0; c < C; ++c) {
        const int a = At<C>(s, y, p, c);
        const int b = At<C>(s, y, q, c);
        const int k = static_cast<int>(o % 3);
        Put<C>(d, y, o, c, k == 0 ? a : k == 1 ? (a + b) >> 1 : b);
      }
    }
  }
}

using PixelOp = void (*)(const DibView&, const DibView&);

// An operation's 8-bit and 24-bit instances as one fill step.
template <PixelOp Grey, PixelOp Colour>
void ByDepth(const DibView& s, const DibView& d) {
  if (s.bitCount == 8)
    Grey(s, d);
  else
    Colour(s, d);
}

template <int BW, int BH>
void BoxFill(const DibView& s, const DibView& d) {
  if (s.bitCount == 8)
    BoxMean<1>(s, d, BW, BH);
  else
    BoxMean<3>(s, d, BW, BH);
}

}  // namespace

int CDib::Resample(int mulW, int divW, int mulH, int divH, int dpi, const Fill& fill) {
  const auto view = CheckedView();
  if (!view || (view->bitCount != 8 && view->bitCount != 24)) return 0;
  const int64_t width = int64_t{view->width} * mulW / divW;
  const int64_t height = int64_t{view->height} * mulH / divH;
  return Rebuild(*view, width, height, view->bitCount, dpi, fill);
}

int CDib::HalveSize() {
  return Resample(1, 2, 1, 2, kReducedDpi, BoxFill<2, 2>);
}
int CDib::HalveWidthThirdHeight() {
  return Resample(1, 2, 1, 3, kReducedDpi, BoxFill<2, 3>);
}
int CDib::ThirdSize() {
  return Resample(1, 3, 1, 3, kReducedDpi, BoxFill<3, 3>);
}
int CDib::ThirdHeight() {
  return Resample(1, 1, 1, 3, kReducedDpi, BoxFill<1, 3>);
}

int CDib::DoubleWidthTwoThirdsHeight() {
  return Resample(2, 1, 2, 3, kTwoThirdsDpi,
                  ByDepth<DoubleWidthTwoThirdsHeightOp<1>, DoubleWidthTwoThirdsHeightOp<3>>);
}
int CDib::TwoThirdsSize() {
  return Resample(2, 3, 2, 3, kTwoThirdsDpi, ByDepth<TwoThirdsSizeOp<1>, TwoThirdsSizeOp<3>>);
}
int CDib::TwoThirdsHeight() {
  return Resample(1, 1, 2, 3, kTwoThirdsDpi, ByDepth<TwoThirdsHeightOp<1>, TwoThirdsHeightOp<3>>);
}
int CDib::TripleWidth() {
  return Resample(3, 1, 1, 1, kTwoThirdsDpi, ByDepth<TripleWidthOp<1>, TripleWidthOp<3>>);
}
int CDib::ThreeHalvesWidth() {
  return Resample(3, 2, 1, 1, kTwoThirdsDpi, ByDepth<ThreeHalvesWidthOp<1>, ThreeHalvesWidthOp<3>>);
}

}  // namespace qv6
