// Turning a strip of packed 1-bit lines by 90, 180 or 270 degrees for rotated views.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/bilevel/image_view.h"

namespace zc::codec {

// Writes the strip (view->linesInStrip lines of view->outLineWidth pixels) turned by
// view->rotation to `destination`; rotation 0, sizes that are not multiples of 8, or a
// strip larger than `byteCount` write nothing.
void funcBilevelTransformLine(const ImageView* view, const uint8_t* source, uint8_t* destination,
                              size_t byteCount);

}  // namespace zc::codec
