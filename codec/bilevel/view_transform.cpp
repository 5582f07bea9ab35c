// Zoom, pan and rotation arithmetic of the image windows. Divisions truncate toward zero;
// products are formed in 64 bits.
#include "codec/bilevel/view_transform.h"

#include <algorithm>

namespace zc::codec {
namespace {

constexpr int64_t kOne = 2048;
constexpr int64_t kZoomMax = 128000;

int64_t zoomOf(int32_t z) {
  return z == 0 ? kOne : z;
}
bool oddRotation(const ImageView* v) {
  return (v->rotation & 1) != 0;
}
// Window extents along the image's x and y axes.
int64_t extentX(const ImageView* v) {
  return oddRotation(v) ? v->windowHeight : v->windowWidth;
}
int64_t extentY(const ImageView* v) {
  return oddRotation(v) ? v->windowWidth : v->windowHeight;
}

void validateResolutions(int32_t& a, int32_t& b) {
  if (a < 5 || a > 8192 || b < 5 || b > 8192) a = b = 100;
}

void zoomToRect(ImageView* v, int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool keepAspect) {
  validateResolutions(v->imageResX, v->imageResY);
  validateResolutions(v->displayResX, v->displayResY);
  const int64_t dx = std::abs(static_cast<int64_t>(x1) - x0);
  const int64_t dy = std::abs(static_cast<int64_t>(y1) - y0);
  const int64_t wx = extentX(v);
  const int64_t wy = extentY(v);
  if (wx <= 0 || wy <= 0 || dx < 17 || dy < 17) {
    v->zoomX = v->zoomY = static_cast<int32_t>(kOne);
    return;
  }
  int64_t zx = std::min(wx * kOne / dx, kZoomMax);
  int64_t zy = std::min(wy * kOne / dy, kZoomMax);
  if (keepAspect) {
    const int64_t dispX = oddRotation(v) ? v->displayResY : v->displayResX;
    const int64_t dispY = oddRotation(v) ? v->displayResX : v->displayResY;
    const int64_t a = v->imageResX * zx / dispX;
    const int64_t b = v->imageResY * zy / dispY;
    if (a > b) zx = b * dispX / v->imageResX;
    if (a < b) zy = a * dispY / v->imageResY;
  }
  if (zx < 0 || zx > kZoomMax) zx = kZoomMax;
  if (zy > kZoomMax) zy = kZoomMax;
  v->zoomX = static_cast<int32_t>(std::max<int64_t>(zx, 32));
  v->zoomY = static_cast<int32_t>(std::max<int64_t>(zy, 32));
  v->panX = std::min(x0, x1);
  v->panY = std::min(y0, y1);
  funcViewClampPan(v);
}

}  // namespace

void funcViewClampPan(ImageView* v) {
  if (v->panX >= v->width || v->panX < 0) v->panX = 0;
  if (v->panY >= v->length || v->panY < 0) v->panY = 0;
  const int64_t visW = std::min<int64_t>(v->width, extentX(v) * kOne / zoomOf(v->zoomX));
  if (v->panX + visW > v->width) v->panX = static_cast<int32_t>(std::max<int64_t>(v->width - visW, 0));
  v->visibleWidth = static_cast<int32_t>(visW);
  const int64_t visH = std::min<int64_t>(v->length, extentY(v) * kOne / zoomOf(v->zoomY));
  if (v->panY + visH > v->length) v->panY = static_cast<int32_t>(std::max<int64_t>(v->length - visH, 0));
  v->visibleHeight = static_cast<int32_t>(visH);
}

void funcViewWindowToImage(const ImageView* v, int32_t wx, int32_t wy, int32_t* ix, int32_t* iy) {
  const int64_t zx = zoomOf(v->zoomX);
  const int64_t zy = zoomOf(v->zoomY);
  const int64_t W = v->windowWidth;
  const int64_t H = v->windowHeight;
  int64_t x;
  int64_t y;
  switch (v->rotation) {
    case 1:
      x = wy * kOne / zx + v->panX;
      y = (W - wx) * kOne / zy + v->panY;
      break;
    case 2:
      x = (W - wx) * kOne / zx + v->panX;
      y = (H - wy) * kOne / zy + v->panY;
      break;
    case 3:
      x = (H - wy) * kOne / zx + v->panX;
      y = wx * kOne / zy + v->panY;
      break;
    default:
      x = wx * kOne / zx + v->panX;
      y = wy * kOne / zy + v->panY;
      break;
  }
  x = std::max<int64_t>(x, 0);
  y = std::max<int64_t>(y, 0);
  if (x >= v->width) x = v->width - 1;
  if (y >= v->length) y = v->length - 1;
  *ix = static_cast<int32_t>(x);
  *iy = static_cast<int32_t>(y);
}

void funcViewImageToWindow(const ImageView* v, int32_t ix, int32_t iy, int32_t* wx, int32_t* wy) {
  const int64_t u = ((static_cast<int64_t>(ix) - v->panX) * zoomOf(v->zoomX) + 1024) / kOne;
  const int64_t w = ((static_cast<int64_t>(iy) - v->panY) * zoomOf(v->zoomY) + 1024) / kOne;
  const int64_t W = v->windowWidth;
  const int64_t H = v->windowHeight;
  int64_t x = u;
  int64_t y = w;
  if (v->rotation == 1) {
    x = W - w;
    y = u;
  } else if (v->rotation == 2) {
    x = W - u;
    y = H - w;
  } else if (v->rotation == 3) {
    x = w;
    y = H - u;
  }
  *wx = static_cast<int32_t>(x);
  *wy = static_cast<int32_t>(y);
}

void funcViewFitImage(ImageView* v) {
  funcViewZoomToRect(v, 0, 0, v->width, v->length);
}
void funcViewZoomToRect(ImageView* v, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  zoomToRect(v, x0, y0, x1, y1, true);
}
void funcViewStretchToRect(ImageView* v, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  zoomToRect(v, x0, y0, x1, y1, false);
}
void funcViewStretchImage(ImageView* v) {
  funcViewStretchToRect(v, 0, 0, v->width, v->length);
}

void funcViewDragPan(ImageView* v, int32_t dx, int32_t dy) {
  int32_t x0;
  int32_t y0;
  int32_t x1;
  int32_t y1;
  funcViewWindowToImage(v, 0, 0, &x0, &y0);
  funcViewWindowToImage(v, dx, dy, &x1, &y1);
  int64_t px = static_cast<int64_t>(v->panX) + (x1 - x0);
  int64_t py = static_cast<int64_t>(v->panY) + (y1 - y0);
  if (x1 > x0 && px >= v->width) px = v->width - 1;
  if (y1 > y0 && py >= v->length) py = v->length - 1;
  v->panX = static_cast<int32_t>(std::max<int64_t>(px, 0));
  v->panY = static_cast<int32_t>(std::max<int64_t>(py, 0));
  funcViewClampPan(v);
}

void funcViewPanBy(ImageView* v, int32_t dx, int32_t dy) {
  v->panX = static_cast<int32_t>(std::max<int64_t>(static_cast<int64_t>(v->panX) + dx, 0));
  v->panY = static_cast<int32_t>(std::max<int64_t>(static_cast<int64_t>(v->panY) + dy, 0));
  funcViewClampPan(v);
}

void funcViewZoomBy(ImageView* v, int32_t factor) {
  int64_t zx = (static_cast<int64_t>(v->zoomX) * factor + 1024) / kOne;
  int64_t zy = (static_cast<int64_t>(v->zoomY) * factor + 1024) / kOne;
  if (zx < 0 || zx > kZoomMax) zx = kZoomMax;
  if (zy > kZoomMax) zy = kZoomMax;
  zx = std::max<int64_t>(zx, 16);
  zy = std::max<int64_t>(zy, 16);
  v->zoomX = static_cast<int32_t>(zx);
  v->zoomY = static_cast<int32_t>(zy);
  const int64_t newW = std::min<int64_t>(extentX(v) * kOne / zx, v->width);
  const int64_t newH = std::min<int64_t>(extentY(v) * kOne / zy, v->length);
  v->panX = static_cast<int32_t>(std::max<int64_t>(v->panX - (newW - v->visibleWidth) / 2, 0));
  v->panY = static_cast<int32_t>(std::max<int64_t>(v->panY - (newH - v->visibleHeight) / 2, 0));
  funcViewClampPan(v);
}

void funcViewGetState(const ImageView* v, ViewStripPlacement* p) {
  const int32_t S = v->linesInStrip;
  const int32_t T = v->linesDelivered;
  const int32_t W = v->windowWidth;
  const int32_t H = v->windowHeight;
  p->rotation = v->rotation;
  switch (v->rotation) {
    case 1:
      *p = {1, S, H, W - T, 0};
      break;
    case 2:
      *p = {2, W, S, 0, H - T};
      break;
    case 3:
      *p = {3, S, H, T - S, 0};
      break;
    default:
      *p = {v->rotation, W, S, 0, T - S};
      break;
  }
}

}  // namespace zc::codec
