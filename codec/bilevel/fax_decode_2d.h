// Two-dimensional line decoding (ITU-T T.4 section 4.2, T.6) against a reference line,
// with the optional uncompressed-mode extension. a0 only moves right: a code that would
// move it back, or past the width, makes the line bad. Inline, so that the line entry keeps
// the reader's state in registers from the line's start to its end.
#pragma once

#include <algorithm>
#include <cstdint>

#include "codec/bilevel/fax_bit_source.h"
#include "codec/bilevel/fax_decode_tables.h"
#include "codec/bilevel/fax_line_decoders.h"
#include "codec/bilevel/fax_read_run.h"
#include "codec/bilevel/fax_reference.h"

namespace zc::codec::detail {

// Decodes uncompressed-mode patterns from a0 up to the exit code; updates a0 and its colour.
bool faxDecodeUncompressed(FaxBitSource& src, FaxChangeWriter& out, int64_t& a0, int& colour, int64_t width);

// funcFaxDecode2D on a reader the caller holds as a local that it never hands out by address.
[[gnu::always_inline]] inline int faxDecode2D(FaxBitSource& src, const uint32_t* ref, uint32_t* cur,
                                              int width, FaxDecode2DKind kind) {
  const bool withExtension = kind == FaxDecode2DKind::kWithExtension;
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
      // The rare extension works on a copy, so that `src` never has its address taken.
      FaxBitSource extension = src;
      const bool ok = faxDecodeUncompressed(extension, out, a0, colour, w);
      src = extension;
      if (!ok) {
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
  return result;
}

}  // namespace zc::codec::detail
