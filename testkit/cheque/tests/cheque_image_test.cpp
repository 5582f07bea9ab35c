// The synthetic cheque: sizes by resolution, determinism, ink where the layout puts it, and
// a dithered rendering much busier than the thresholded one.
#include "testkit/cheque/cheque_image.h"

#include <gtest/gtest.h>

namespace zc::testkit {
namespace {

int inkCount(const BilevelImage& img, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) n += img.black(x, y) ? 1 : 0;
  }
  return n;
}

int changes(const BilevelImage& img) {
  int n = 0;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 1; x < img.width; ++x) n += img.black(x, y) != img.black(x - 1, y) ? 1 : 0;
  }
  return n;
}

TEST(ChequeImage, SizeFollowsTheResolution) {
  const int sizes[][3] = {{200, 1200, 550}, {240, 1440, 660}, {300, 1800, 825}};
  for (const auto& s : sizes) {
    ChequeSpec params;
    params.dpi = s[0];
    const GrayImage g = makeChequeGray(params);
    EXPECT_EQ(g.width, s[1]);
    EXPECT_EQ(g.height, s[2]);
    EXPECT_EQ(g.pixels.size(), static_cast<size_t>(s[1]) * s[2]);
  }
  ChequeSpec business{300, 8.75, 3.75, 1};
  EXPECT_EQ(makeChequeColour(business).width, 2625);
}

TEST(ChequeImage, DeterministicAndSeeded) {
  ChequeSpec a;
  ChequeSpec b;
  b.seed = 2;
  EXPECT_EQ(makeChequeGray(a).pixels, makeChequeGray(a).pixels);
  EXPECT_NE(makeChequeGray(a).pixels, makeChequeGray(b).pixels);
}

TEST(ChequeImage, LayoutAndRenderings) {
  ChequeSpec params;
  params.dpi = 200;
  const GrayImage g = makeChequeGray(params);
  const BilevelImage bw = thresholdImage(g);
  const BilevelImage dots = ditherImage(g);
  // The code-line band at the bottom and the text at the top carry ink; the background
  // between the payee and words lines stays mostly white once thresholded.
  EXPECT_GT(inkCount(bw, 60, 470, 1140, 500), 1000);
  EXPECT_GT(inkCount(bw, 60, 40, 400, 60), 500);
  const int area = (1000 - 200) * (300 - 240);
  EXPECT_LT(inkCount(bw, 200, 240, 1000, 300), area / 10);
  EXPECT_GT(changes(dots), 4 * changes(bw));
}

TEST(ChequeImage, PatternsAndThreshold) {
  const BilevelImage alt = makePattern(BilevelPattern::kAlternating, 9, 2);
  EXPECT_FALSE(alt.black(0, 0));
  EXPECT_TRUE(alt.black(1, 1));
  EXPECT_EQ(alt.row(0)[1], 0);  // bits past the width stay clear
  EXPECT_EQ(inkCount(makePattern(BilevelPattern::kBlack, 7, 3), 0, 0, 7, 3), 21);
  GrayImage g{3, 1, {0, 128, 129}};
  const BilevelImage t = thresholdImage(g);
  EXPECT_TRUE(t.black(0, 0));
  EXPECT_TRUE(t.black(1, 0));
  EXPECT_FALSE(t.black(2, 0));
}

// Every test and the simulator compare against images drawn from these cheques, so the drawing is pinned
// byte for byte (an FNV-1a digest of the pixels) at each resolution and in both sizes.
TEST(ChequeImage, PixelsArePinned) {
  struct Pin {
    int dpi;
    uint32_t seed;
    bool business;
    uint64_t digest;
  };
  const Pin pins[] = {
      {100, 77, false, 0xd7c0855e0856009eull}, {100, 4242, true, 0xf9ecd3f4937caffaull},
      {200, 77, false, 0x91f344ddb7575671ull}, {200, 4242, true, 0xa5362071833a4addull},
      {240, 77, false, 0x5d768e77d39153d1ull}, {240, 4242, true, 0xd6849ef0629a1cecull},
      {300, 77, false, 0x8f76d30ec7e8a9d0ull}, {300, 4242, true, 0x9cd2f9468528d4f9ull},
  };
  for (const Pin& p : pins) {
    const ChequeSpec spec{p.dpi, p.business ? 8.75 : 6.0, p.business ? 3.75 : 2.75, p.seed};
    const GrayImage g = makeChequeGray(spec);
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : g.pixels) {
      h ^= b;
      h *= 1099511628211ull;
    }
    EXPECT_EQ(h, p.digest) << p.dpi << " dpi, seed " << p.seed;
  }
}

}  // namespace
}  // namespace zc::testkit
