// View moves of an ImageView: zoom, pan and rotation between a 1-bit image and a window,
// in fixed point with 2048 = 1:1. A zoom of 0 (a cleared record) counts as 1:1.
#pragma once

#include <cstdint>

#include "codec/bilevel/image_view.h"

namespace zc::codec {

void funcViewClampPan(ImageView* v);
void funcViewWindowToImage(const ImageView* v, int32_t wx, int32_t wy, int32_t* ix, int32_t* iy);
void funcViewImageToWindow(const ImageView* v, int32_t ix, int32_t iy, int32_t* wx, int32_t* wy);
void funcViewFitImage(ImageView* v);
void funcViewZoomToRect(ImageView* v, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
void funcViewStretchToRect(ImageView* v, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
void funcViewStretchImage(ImageView* v);
void funcViewDragPan(ImageView* v, int32_t dx, int32_t dy);
void funcViewPanBy(ImageView* v, int32_t dx, int32_t dy);
void funcViewZoomBy(ImageView* v, int32_t factor);
void funcViewGetState(const ImageView* v, ViewStripPlacement* placement);

}  // namespace zc::codec
