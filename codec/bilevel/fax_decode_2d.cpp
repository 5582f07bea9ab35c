// Two-dimensional line decoding (ITU-T T.4 section 4.2, T.6) against a reference line,
// with the optional uncompressed-mode extension. a0 only moves right: a code that would
// move it back, or past the width, makes the line bad.
#include <algorithm>

#include "codec/bilevel/fax_decode_tables.h"
#include "codec/bilevel/fax_line_decoders.h"
#include "codec/bilevel/fax_read_run.h"
#include "codec/bilevel/fax_reference.h"

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

// Decodes uncompressed-mode patterns from a0 up to the exit code; updates a0 and its colour.
bool decodeUncompressed(FaxBitSource& src, FaxChangeWriter& out, int64_t& a0, int& colour, int64_t width) {
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

}  // namespace

int funcFaxDecode2D(FaxBitSource& source, const uint32_t* ref, uint32_t* cur, int width,
                    FaxDecode2DKind kind) {
  const bool withExtension = kind == FaxDecode2DKind::kWithExtension;
  // A local copy keeps the reader's state in registers: the list stores cannot alias it.
  FaxBitSource src = source;
  const FaxModeEntry* modes = faxModeTable();
  FaxChangeWriter out{cur, static_cast<uint32_t>(width)};
  FaxReferenceWalk walk{ref};
  const int64_t w = width;
  int64_t a0 = 0;
  int colour = 0;
  bool atStart = true;
  int result = kFaxLineOk;
  while (a0 < w) {
    // Past the end of the input the reader gives zeros, which end the line as bad data.
    const uint32_t code = src.peek(7);
    const int bi = walk.findB1(static_cast<uint32_t>(a0), atStart, colour);
    if (code & 0x40) {
      // A run of V0 codes (one 1 bit each), the common case: each puts a1 on b1, which lies right of a0
      // (at the line start: at or right of 0) and at most at the width, so no check can fail, and the
      // next b1 is the reference's next change. The run copies reference changes until one reaches the
      // width; 1 bits after that belong to the next line.
      // Only the loaded bits count: the accumulator may hold more of the next byte.
      const uint64_t inverted = ~src.acc;
      const int ones = std::min(inverted == 0 ? 64 : __builtin_clzll(inverted), src.bits);
      int i = bi;
      const int stop = bi + ones;
      uint32_t* dst = out.list + out.count;
      for (; i < stop; ++i) {
        const uint32_t b1 = ref[i];
        if (b1 >= static_cast<uint32_t>(w)) break;
        *dst++ = b1;
      }
      const int copied = i - bi;
      out.count += copied;
      colour ^= copied & 1;
      if (i < stop) {
        // The code that reached the width ends the line.
        src.skip(copied + 1);
        a0 = w;
        break;
      }
      src.skip(copied);
      a0 = ref[i - 1];
      walk.j = i;  // the first reference change right of a0
      atStart = false;
      continue;
    }
    const FaxModeEntry& m = modes[code];
    const int64_t b1 = ref[bi];
    if (m.kind == kModeVertical) {
      src.skip(m.length);
      const int64_t a1 = b1 + m.delta;
      if (a1 < a0 || (a1 == a0 && !atStart) || a1 > w) {
        result = kFaxLineBad;
        break;
      }
      // a1 lies right of every change so far: no cancelling pair is possible.
      if (a1 < w) out.list[out.count++] = static_cast<uint32_t>(a1);
      a0 = a1;
      colour ^= 1;
    } else if (m.kind == kModeHorizontal) {
      src.skip(m.length);
      const int64_t run1 = detail::faxReadRun(src, colour, w - a0);
      const int64_t run2 = run1 < 0 ? -1 : detail::faxReadRun(src, colour ^ 1, w - a0 - run1);
      if (run2 < 0) {
        // The byte-wise T.6 decoder takes a run it cannot place as reaching past the width:
        // the line ends there. The others refuse the line.
        if (kind == FaxDecode2DKind::kByteWise && run1 >= 0) out.add(static_cast<uint32_t>(a0 + run1));
        result = kind == FaxDecode2DKind::kByteWise ? kFaxLineOk : kFaxLineBad;
        break;
      }
      out.add(static_cast<uint32_t>(a0 + run1));
      out.add(static_cast<uint32_t>(a0 + run1 + run2));
      a0 += run1 + run2;
    } else if (m.kind == kModePass) {
      src.skip(m.length);
      a0 = ref[bi + 1];
    } else if (m.kind == kModeExtension && withExtension && src.peek(10) == 0x0F) {
      if (!decodeUncompressed(src, out, a0, colour, w)) {
        result = kFaxLineBad;
        break;
      }
    } else {
      // Eight zero bits where a line begins are the end of the data (EOFB).
      result = m.kind == kModeZeros && atStart && src.peek(8) == 0 ? kFaxLineEnd : kFaxLineBad;
      break;
    }
    atStart = false;
  }
  out.close();
  source = src;
  return result;
}

}  // namespace zc::codec
