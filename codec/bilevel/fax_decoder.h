// Bilevel decoder: reads the single strip (or a FaxStripTable's strips) of a 1-bit image
// coded as T.4, T.6, raw, PackBits or byte-run, from a file or memory, and delivers the
// caller's window in strips of packed output lines, zoomed, panned and rotated.
#pragma once

#include "codec/bilevel/image_view.h"

namespace zc::codec {

// funcFaxDecodeLines results.
inline constexpr int kFaxStripReady = 4;
inline constexpr int kFaxAllDelivered = 16;
inline constexpr int kFaxCannotStart = 8;

// 0 started; 8 bad parameters, unreadable input or no memory (buffers freed).
int funcFaxDecodeOpen(ImageView* v);
// 4: a strip is in v->stripBuffer (placement from funcViewGetState); 16: the window is
// complete and the buffers are freed; 8: the view could not be started.
int funcFaxDecodeLines(ImageView* v);
void funcFaxDecodeFree(ImageView* v);

// Line-by-line use, between funcFaxDecodeOpen and funcFaxDecodeFree: refills the input,
// swaps the change lists and decodes image line v->currentLine into v->currentChanges. The
// caller advances v->currentLine. Returns the line decoder's result (0, 2 or 3).
int faxDecodeNextLine(ImageView* v);

// The input chunk and margin of the input buffer for an image `width` pixels wide.
int32_t faxInputBufferSize(int width, int32_t chunk);

}  // namespace zc::codec
