// Line coders of the bilevel encoder: T.4 one-dimensional, two-dimensional (T.4/T.6) with
// and without the uncompressed-mode extension, and the byte-run coding of inverted bytes.
#pragma once

#include <cstdint>

#include "codec/bilevel/fax_bit_sink.h"

namespace zc::codec {

// One run with make-up and terminating codes (T.4 tables 2 and 3).
void faxPutRun(FaxBitSink& sink, int colour, uint32_t run);
inline void funcFaxPutWhiteRun(FaxBitSink& sink, uint32_t run) {
  faxPutRun(sink, 0, run);
}
inline void funcFaxPutBlackRun(FaxBitSink& sink, uint32_t run) {
  faxPutRun(sink, 1, run);
}

void funcFaxCode1D(FaxBitSink& sink, const uint32_t* changes, int width);
void funcFaxCode2D(FaxBitSink& sink, const uint32_t* ref, const uint32_t* cur, int width);
void funcFaxCode2DUncompressed(FaxBitSink& sink, const uint32_t* ref, const uint32_t* cur, int width);
void funcFaxCodeAllHorizontal(FaxBitSink& sink, const uint32_t* cur, int width);

// Byte-run coding of the line's width / 8 bytes, inverted, in the PCX run scheme; returns
// the bytes written to `out` (at most width / 4).
int funcFaxByteRunLine(const uint8_t* line, int width, uint8_t* out);

}  // namespace zc::codec
