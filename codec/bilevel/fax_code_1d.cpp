// T.4 one-dimensional (modified Huffman) coding of a change list.
#include "codec/bilevel/fax_codes.h"
#include "codec/bilevel/fax_line_coders.h"

namespace zc::codec {

void faxPutRun(FaxBitSink& sink, int colour, uint32_t run) {
  const FaxCode* codes = faxRunCodes(colour);
  while (run >= 64) {
    // Runs of 2560 and more repeat the longest extended make-up code.
    const uint32_t index = run >= 2560 ? 103 : 63 + run / 64;
    sink.put(codes[index].value, codes[index].length);
    run -= run >= 2560 ? 2560 : (run / 64) * 64;
  }
  sink.put(codes[run].value, codes[run].length);
}

void funcFaxCode1D(FaxBitSink& sink, const uint32_t* changes, int width) {
  const uint32_t w = static_cast<uint32_t>(width);
  uint32_t pos = 0;
  int colour = 0;
  for (int i = 0;; ++i) {
    const uint32_t next = changes[i];
    faxPutRun(sink, colour, next - pos);
    pos = next;
    if (pos >= w) break;
    colour ^= 1;
  }
}

}  // namespace zc::codec
