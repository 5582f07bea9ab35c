// Decoding into views: rotation against a per-pixel turn of the page, vertical and
// horizontal zoom, thin lines kept on reduction, panning, and strips placed by GetState.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "codec/bilevel/fax_decoder.h"
#include "codec/tests/bilevel_test_support.h"

namespace zc::codec {
namespace {

using test::BilevelImage;
using test::encodeToMemory;

struct ViewCase {
  int windowWidth = 0;
  int windowHeight = 0;
  int zoomX = 2048;
  int zoomY = 2048;
  int panX = 0;
  int panY = 0;
  int rotation = 0;
  int renderFlags = 0;
};

test::DecodeResult decodeInto(const BilevelImage& img, std::vector<uint8_t> data, const ViewCase& c) {
  ImageView v{};
  v.fileHandle = -1;
  v.stripOffset = reinterpret_cast<uintptr_t>(data.data());
  v.stripByteCount = static_cast<uint32_t>(data.size());
  v.width = img.width;
  v.length = img.height;
  v.windowWidth = c.windowWidth;
  v.windowHeight = c.windowHeight;
  v.zoomX = c.zoomX;
  v.zoomY = c.zoomY;
  v.panX = c.panX;
  v.panY = c.panY;
  v.rotation = c.rotation;
  v.renderFlags = c.renderFlags;
  v.decoderMode = 1;
  return test::decodeView(v);
}

BilevelImage expectedView(int w, int h, const std::function<bool(int, int)>& black) {
  BilevelImage out(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (black(x, y)) out.set(x, y);
    }
  }
  return out;
}

TEST(FaxView, RotationsTurnThePage) {
  // 96 x 800: a rotated window is 800 wide (image y) and 96 high (image x); two strips.
  const BilevelImage img = testkit::makePattern(testkit::BilevelPattern::kRandom, 96, 800, 11);
  const auto data = encodeToMemory(img, {1});
  const int W = 800;
  const int H = 96;
  const auto r1 = decodeInto(img, data, {W, H, 2048, 2048, 0, 0, 1});
  EXPECT_EQ(r1.image, expectedView(W, H, [&](int x, int y) { return img.black(y, W - 1 - x); }));
  const auto r3 = decodeInto(img, data, {W, H, 2048, 2048, 0, 0, 3});
  EXPECT_EQ(r3.image, expectedView(W, H, [&](int x, int y) { return img.black(H - 1 - y, x); }));
  const auto r2 = decodeInto(img, data, {96, 800, 2048, 2048, 0, 0, 2});
  EXPECT_EQ(r2.image, expectedView(96, 800, [&](int x, int y) { return img.black(95 - x, 799 - y); }));
  EXPECT_GT(r1.strips, 1);
}

TEST(FaxView, EnlargementRepeatsLinesAndColumns) {
  const BilevelImage img = testkit::makePattern(testkit::BilevelPattern::kRandom, 40, 30, 3);
  const auto data = encodeToMemory(img, {1});
  const auto tall = decodeInto(img, data, {40, 60, 2048, 4096});
  EXPECT_EQ(tall.image, expectedView(40, 60, [&](int x, int y) { return img.black(x, y / 2); }));
  const auto wide = decodeInto(img, data, {80, 30, 4096, 2048});
  EXPECT_EQ(wide.image, expectedView(80, 30, [&](int x, int y) { return img.black(x / 2, y); }));
}

TEST(FaxView, ReductionKeepsOnePixelLinesWithRenderFlags) {
  BilevelImage img(64, 64);
  for (int x = 0; x < 64; ++x) img.set(x, 33);  // a horizontal line on an odd row
  for (int y = 0; y < 64; ++y) img.set(21, y);  // a vertical line on an odd column
  const auto data = encodeToMemory(img, {1});
  const auto kept = decodeInto(img, data, {32, 32, 1024, 1024, 0, 0, 0, 3});
  int fullRows = 0;
  int colInk = 0;
  for (int y = 0; y < 32; ++y) {
    int ink = 0;
    for (int x = 0; x < 32; ++x) ink += kept.image.black(x, y) ? 1 : 0;
    fullRows += ink == 32 ? 1 : 0;
  }
  for (int y = 0; y < 32; ++y) colInk += kept.image.black(10, y) || kept.image.black(11, y) ? 1 : 0;
  EXPECT_EQ(fullRows, 1);
  EXPECT_EQ(colInk, 32);
  // Without the flags the plain reduction may drop them: it draws only every other line.
  const auto plain = decodeInto(img, data, {32, 32, 1024, 1024, 0, 0, 0, 0});
  int plainRowInk = 0;
  for (int y = 0; y < 32; ++y) plainRowInk += plain.image.black(0, y) ? 1 : 0;
  EXPECT_EQ(plainRowInk, 0);
}

TEST(FaxView, PanShowsTheWindowOfTheImage) {
  const BilevelImage img = testkit::makePattern(testkit::BilevelPattern::kRandom, 300, 120, 5);
  const auto data = encodeToMemory(img, {1});
  const auto r = decodeInto(img, data, {96, 40, 2048, 2048, 37, 50});
  EXPECT_EQ(r.image, expectedView(96, 40, [&](int x, int y) { return img.black(x + 37, y + 50); }));
  // A window larger than the image: the rest is white, the strips stay inside.
  const auto big = decodeInto(img, data, {320, 200});
  EXPECT_EQ(big.image,
            expectedView(320, 200, [&](int x, int y) { return x < 300 && y < 120 && img.black(x, y); }));
}

}  // namespace
}  // namespace zc::codec
