// View arithmetic: fitting, rubber bands, resolutions, rotation mapping, dragging, zoom bounds
// and strip placement.
#include "codec/bilevel/view_transform.h"

#include <gtest/gtest.h>

namespace zc::codec {
namespace {

ImageView page(int w, int h, int ww, int wh) {
  ImageView v{};
  v.width = w;
  v.length = h;
  v.windowWidth = ww;
  v.windowHeight = wh;
  v.imageResX = v.imageResY = 200;
  v.displayResX = v.displayResY = 96;
  v.zoomX = v.zoomY = 2048;
  return v;
}

TEST(ViewTransform, FitsAPageIntoItsWindow) {
  ImageView v = page(1700, 2200, 425, 550);
  v.panX = 300;
  funcViewFitImage(&v);
  EXPECT_EQ(v.zoomX, 512);
  EXPECT_EQ(v.zoomY, 512);
  EXPECT_EQ(v.panX, 0);
  EXPECT_EQ(v.panY, 0);
  EXPECT_EQ(v.visibleWidth, 1700);
}

TEST(ViewTransform, SmallRubberBandResetsZoomOnly) {
  ImageView v = page(1700, 2200, 425, 550);
  v.zoomX = v.zoomY = 512;
  v.panX = 40;
  v.panY = 50;
  funcViewZoomToRect(&v, 100, 100, 116, 300);
  EXPECT_EQ(v.zoomX, 2048);
  EXPECT_EQ(v.zoomY, 2048);
  EXPECT_EQ(v.panX, 40);
  EXPECT_EQ(v.panY, 50);
}

TEST(ViewTransform, InvalidResolutionsBecome100) {
  for (int res : {0, 9000}) {
    ImageView v = page(1700, 2200, 425, 550);
    v.imageResX = res;
    funcViewFitImage(&v);
    EXPECT_EQ(v.imageResX, 100);
    EXPECT_EQ(v.imageResY, 100);
  }
}

TEST(ViewTransform, WindowToImageFollowsTheRotation) {
  ImageView v = page(1000, 800, 200, 100);
  v.rotation = 1;
  int32_t x = 0;
  int32_t y = 0;
  // With rotation 1 the window's left edge shows the bottom of the visible part.
  funcViewWindowToImage(&v, 0, 0, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 200);
  funcViewWindowToImage(&v, 200, 50, &x, &y);
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 0);
  v.rotation = 0;
  funcViewWindowToImage(&v, 5000, -7, &x, &y);  // clamped into the image
  EXPECT_EQ(x, 999);
  EXPECT_EQ(y, 0);
}

TEST(ViewTransform, ImageToWindowInvertsWithinAPixel) {
  for (int rotation = 0; rotation < 4; ++rotation) {
    ImageView v = page(3000, 3000, 400, 320);
    v.rotation = rotation;
    v.zoomX = 4096;
    v.zoomY = 3000;
    v.panX = 100;
    v.panY = 70;
    for (int ix = 100; ix < 180; ix += 7) {
      for (int iy = 70; iy < 150; iy += 11) {
        int32_t wx = 0;
        int32_t wy = 0;
        int32_t bx = 0;
        int32_t by = 0;
        funcViewImageToWindow(&v, ix, iy, &wx, &wy);
        funcViewWindowToImage(&v, wx, wy, &bx, &by);
        EXPECT_LE(std::abs(bx - ix), 1) << rotation;
        EXPECT_LE(std::abs(by - iy), 1) << rotation;
      }
    }
  }
}

TEST(ViewTransform, DragAndZoomBounds) {
  ImageView v = page(1000, 800, 200, 100);
  v.panX = 10;
  funcViewDragPan(&v, -500, 0);
  EXPECT_EQ(v.panX, 0);
  funcViewDragPan(&v, 5000, 5000);
  EXPECT_EQ(v.panX, 800);  // clamped so the window stays on the image
  EXPECT_EQ(v.panY, 700);
  ImageView small = page(40, 40, 400, 400);
  funcViewZoomToRect(&small, 0, 0, 20, 20);
  EXPECT_EQ(small.zoomX, 40960);
  for (int i = 0; i < 4; ++i) funcViewZoomBy(&small, 8192);
  EXPECT_EQ(small.zoomX, 128000);
  EXPECT_EQ(small.zoomY, 128000);
  // A cleared record (zoom 0) neither divides by zero nor moves off the image.
  ImageView cleared{};
  cleared.width = 100;
  cleared.length = 100;
  cleared.windowWidth = 64;
  cleared.windowHeight = 64;
  funcViewClampPan(&cleared);
  funcViewDragPan(&cleared, 10, 10);
  EXPECT_EQ(cleared.visibleWidth, 64);
}

TEST(ViewTransform, StripPlacementByRotation) {
  ImageView v = page(1000, 800, 96, 200);
  v.linesInStrip = 16;
  v.linesDelivered = 48;
  struct Case {
    int rotation;
    ViewStripPlacement p;
  };
  const Case cases[] = {
      {0, {0, 96, 16, 0, 32}},
      {1, {1, 16, 200, 48, 0}},
      {2, {2, 96, 16, 0, 152}},
      {3, {3, 16, 200, 32, 0}},
  };
  for (const Case& c : cases) {
    v.rotation = c.rotation;
    ViewStripPlacement p{};
    funcViewGetState(&v, &p);
    EXPECT_EQ(p.rotation, c.p.rotation);
    EXPECT_EQ(p.width, c.p.width) << c.rotation;
    EXPECT_EQ(p.height, c.p.height) << c.rotation;
    EXPECT_EQ(p.x, c.p.x) << c.rotation;
    EXPECT_EQ(p.y, c.p.y) << c.rotation;
  }
}

}  // namespace
}  // namespace zc::codec
