// Two-dimensional line decoding: the uncompressed-mode extension and the out-of-line entry.
#include "codec/bilevel/fax_decode_2d.h"

namespace zc::codec {

namespace {

// Pixels of uncompressed mode; `pixelColour` is the colour of the last pixel placed.
bool putPixels(FaxChangeWriter& out, int64_t& pos, int64_t count, int colour, int& pixelColour,
               int64_t width) {
  if (count <= 0) return true;
  if (pos + count > width) return false;
  if (colour != pixelColour) {
    out.add(static_cast<uint32_t>(pos));
    pixelColour = colour;
  }
  pos += count;
  return true;
}

}  // namespace

namespace detail {

bool faxDecodeUncompressed(FaxBitSource& src, FaxChangeWriter& out, int64_t& a0, int& colour, int64_t width) {
  src.skip(10);
  int64_t pos = a0;
  int pixelColour = colour;
  for (;;) {
    if (src.overrun()) return false;
    int zeros = 0;
    while (zeros <= 10 && src.peek(1) == 0) {
      src.skip(1);
      ++zeros;
    }
    if (zeros > 10) return false;
    src.skip(1);  // the 1 that ends the pattern
    if (zeros <= 4) {
      if (!putPixels(out, pos, zeros, 0, pixelColour, width)) return false;
      if (!putPixels(out, pos, 1, 1, pixelColour, width)) return false;
    } else if (zeros == 5) {
      if (!putPixels(out, pos, 5, 0, pixelColour, width)) return false;
    } else {
      // Exit code: zeros - 6 white pixels, then the colour of the next run.
      if (!putPixels(out, pos, zeros - 6, 0, pixelColour, width)) return false;
      const int next = static_cast<int>(src.read(1));
      if (next != pixelColour && pos < width) out.add(static_cast<uint32_t>(pos));
      a0 = pos;
      colour = next;
      return true;
    }
  }
}

}  // namespace detail

int funcFaxDecode2D(FaxBitSource& source, const uint32_t* ref, uint32_t* cur, int width,
                    FaxDecode2DKind kind) {
  // A local copy keeps the reader's state in registers: the list stores cannot alias it.
  FaxBitSource src = source;
  const int result = detail::faxDecode2D(src, ref, cur, width, kind);
  source = src;
  return result;
}

}  // namespace zc::codec
