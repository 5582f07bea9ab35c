// Line decoders of the bilevel decoder, one per coding, each filling a change list that is
// strictly increasing, holds at most width + 1 changes and is closed by six copies of the
// width, whatever the input.
#pragma once

#include <cstdint>

#include "codec/bilevel/fax_bit_source.h"

namespace zc::codec {

// Line decoder results.
inline constexpr int kFaxLineOk = 0;
inline constexpr int kFaxLineEnd = 2;  // end of data (RTC, EOFB, no more input)
inline constexpr int kFaxLineBad = 3;  // bad data, or a mode that is not decoded

// Appends changes, two toggles at one position cancelling, and closes the list.
struct FaxChangeWriter {
  uint32_t* list;
  uint32_t width;
  int count = 0;
  void add(uint32_t pos) {
    if (pos >= width) return;
    if (count > 0 && list[count - 1] == pos) {
      --count;
    } else {
      list[count++] = pos;
    }
  }
  int close() {
    for (int i = 0; i < 6; ++i) list[count + i] = width;
    return count;
  }
};

int funcFaxDecode1D(FaxBitSource& src, uint32_t* cur, int width);
enum class FaxDecode2DKind {
  kWithExtension,  // T.6 with the uncompressed-mode extension (mode 1)
  kPlain,          // extensions are errors (T.4 two-dimensional lines, modes 2 and 4)
  kByteWise,       // mode 11: extensions are errors; a run that cannot be placed ends the line
};
int funcFaxDecode2D(FaxBitSource& src, const uint32_t* ref, uint32_t* cur, int width, FaxDecode2DKind kind);
// kind 0: EOL alone; 1: EOL and a tag bit. Returns 2 for RTC or when the input ran out, else
// the last tag bit (kind 1) or 0.
int funcFaxFindEOL(FaxBitSource& src, int kind);

// Byte codings; `fill` bytes of `data` are valid. Return 0, or 2 when the line's bytes are
// not all there.
int faxDecodeRawLine(const uint8_t* data, int64_t fill, int64_t& pos, uint32_t* cur, int width);
int faxDecodePackBitsLine(const uint8_t* data, int64_t fill, int64_t& pos, uint32_t* cur, int width);
int faxDecodeByteRunLine(const uint8_t* data, int64_t fill, int64_t& pos, uint32_t* cur, int width);

}  // namespace zc::codec
