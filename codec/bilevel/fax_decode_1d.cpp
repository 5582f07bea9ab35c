// One-dimensional (modified Huffman) line decoding and the EOL search of ITU-T T.4.
#include "codec/bilevel/fax_line_decoders.h"
#include "codec/bilevel/fax_read_run.h"

namespace zc::codec {
namespace {

int decode1D(FaxBitSource& src, uint32_t* cur, int width) {
  FaxChangeWriter out{cur, static_cast<uint32_t>(width)};
  int64_t pos = 0;
  int colour = 0;
  while (pos < width) {
    const int64_t run = detail::faxReadRun(src, colour, width - pos);
    if (run < 0) {
      out.close();
      return kFaxLineBad;
    }
    pos += run;
    out.add(static_cast<uint32_t>(pos));
    colour ^= 1;
  }
  out.close();
  return pos == width ? kFaxLineOk : kFaxLineBad;
}

}  // namespace

int funcFaxDecode1D(FaxBitSource& source, uint32_t* cur, int width) {
  // A local copy keeps the reader's state in registers: the list stores cannot alias it.
  FaxBitSource src = source;
  const int result = decode1D(src, cur, width);
  source = src;
  return result;
}

int funcFaxFindEOL(FaxBitSource& src, int kind) {
  int count = 0;
  int tag = 0;
  while (count < 6) {
    if (src.overrun()) return kFaxLineEnd;
    const uint32_t v = src.peek(12);
    if (v == 1) {
      src.skip(12);
    } else if (v == 0) {
      // Fill: zeros up to the 1 that ends the EOL.
      while (src.peek(1) == 0) {
        src.skip(1);
        if (src.overrun()) return kFaxLineEnd;
      }
      src.skip(1);
    } else if (count == 1) {
      break;  // the line data begins
    } else {
      // Resynchronise on the next run of at least 11 zeros followed by a 1.
      int zeros = 0;
      for (;;) {
        if (src.overrun()) return kFaxLineEnd;
        if (src.read(1) == 0) {
          ++zeros;
        } else if (zeros >= 11) {
          break;
        } else {
          zeros = 0;
        }
      }
      count = 0;
    }
    ++count;
    if (kind == 1) tag = static_cast<int>(src.read(1));
  }
  if (count >= 6) return kFaxLineEnd;
  return kind == 1 ? tag : 0;
}

}  // namespace zc::codec
