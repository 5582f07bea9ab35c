// Two-dimensional coding of a line against its reference line (ITU-T T.4 section 4.2,
// T.6), plain and with the uncompressed-mode extension (T.4 annex / T.6 table 5).
#include "codec/bilevel/fax_codes.h"
#include "codec/bilevel/fax_line_coders.h"
#include "codec/bilevel/fax_reference.h"

namespace zc::codec {
namespace {

void putVertical(FaxBitSink& sink, int delta) {
  const FaxCode& c = kFaxVerticalCodes[delta + 3];
  sink.put(c.value, c.length);
}

void putHorizontal(FaxBitSink& sink, int colour, uint32_t run1, uint32_t run2) {
  sink.put(kFaxHorizontalCode.value, kFaxHorizontalCode.length);
  faxPutRun(sink, colour, run1);
  faxPutRun(sink, colour ^ 1, run2);
}

// Codes pixels from a0 run by run in uncompressed mode while each run is shorter than 28
// pixels; returns the position reached (the start of the next run, or the width) and sets
// `colour` to that run's colour. `ai` indexes the first change right of a0.
uint32_t putUncompressed(FaxBitSink& sink, const uint32_t* cur, int& ai, uint32_t a0, int& colour,
                         uint32_t w) {
  sink.put(kFaxUncompressedEntry.value, kFaxUncompressedEntry.length);
  uint32_t pos = a0;
  while (pos < w) {
    const uint32_t end = cur[ai];
    const uint32_t len = end - pos;
    if (len >= 28) break;
    if (colour == 1) {
      uint32_t n = len;
      for (; n >= 16; n -= 16) sink.put(0xFFFF, 16);
      if (n > 0) sink.put((1u << n) - 1, static_cast<int>(n));
    } else {
      // Five white pixels are 000001; the rest are zeros that the next black pixel (or the
      // exit code) completes.
      for (uint32_t n = len / 5; n > 0; --n) sink.put(0x01, 6);
      if (len % 5 != 0) sink.put(0, static_cast<int>(len % 5));
    }
    pos = end;
    if (pos >= w) break;
    colour ^= 1;
    ++ai;
  }
  // Exit code 0000001T, T the colour of the next run.
  sink.put(0x01, 7);
  sink.put(static_cast<uint32_t>(colour), 1);
  return pos;
}

template <bool kUncompressed>
void code2D(FaxBitSink& sink, const uint32_t* ref, const uint32_t* cur, int width) {
  const uint32_t w = static_cast<uint32_t>(width);
  FaxReferenceWalk walk{ref};
  uint32_t a0 = 0;
  int colour = 0;
  bool atStart = true;
  int ai = 0;  // index of a1 in cur
  while (a0 < w) {
    if (!atStart) {
      while (cur[ai] <= a0) ++ai;
    }
    const uint32_t a1 = cur[ai];
    const int bi = walk.findB1(a0, atStart, colour);
    const uint32_t b1 = ref[bi];
    const uint32_t b2 = ref[bi + 1];
    const int64_t delta = static_cast<int64_t>(a1) - b1;
    const uint32_t a2 = a1 < w ? cur[ai + 1] : w;
    if (b2 < a1 && (!kUncompressed || b2 >= a0 + 6)) {
      sink.put(kFaxPassCode.value, kFaxPassCode.length);
      a0 = b2;
    } else if (delta >= -(kUncompressed ? 1 : 3) && delta <= (kUncompressed ? 1 : 3)) {
      putVertical(sink, static_cast<int>(delta));
      a0 = a1;
      colour ^= 1;
      ++ai;
    } else if (kUncompressed && a2 < a0 + 9) {
      a0 = putUncompressed(sink, cur, ai, a0, colour, w);
    } else {
      putHorizontal(sink, colour, a1 - a0, a2 - a1);
      a0 = a2;
      ai += 2;
    }
    atStart = false;
  }
}

}  // namespace

void funcFaxCode2D(FaxBitSink& sink, const uint32_t* ref, const uint32_t* cur, int width) {
  code2D<false>(sink, ref, cur, width);
}

void funcFaxCode2DUncompressed(FaxBitSink& sink, const uint32_t* ref, const uint32_t* cur, int width) {
  code2D<true>(sink, ref, cur, width);
}

void funcFaxCodeAllHorizontal(FaxBitSink& sink, const uint32_t* cur, int width) {
  const uint32_t w = static_cast<uint32_t>(width);
  uint32_t a0 = 0;
  for (int i = 0; a0 < w; i += 2) {
    const uint32_t a1 = cur[i];
    const uint32_t a2 = a1 < w ? cur[i + 1] : w;
    putHorizontal(sink, 0, a1 - a0, a2 - a1);
    a0 = a2;
  }
}

}  // namespace zc::codec
