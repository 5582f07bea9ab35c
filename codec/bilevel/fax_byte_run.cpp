// Byte-run coding of inverted line bytes (the PCX run-length scheme): a single byte below
// 0xC0 stands for itself; any other run is the count byte 0xC0 + n (n <= 63) and the value.
#include "codec/bilevel/fax_line_coders.h"

namespace zc::codec {

int funcFaxByteRunLine(const uint8_t* line, int width, uint8_t* out) {
  // Only whole bytes are coded: the pixels of a last partial byte are not kept.
  const int bytes = width / 8;
  int n = 0;
  for (int i = 0; i < bytes;) {
    const uint8_t value = static_cast<uint8_t>(~line[i]);
    int run = 1;
    while (i + run < bytes && static_cast<uint8_t>(~line[i + run]) == value) ++run;
    i += run;
    if (run == 1 && value < 0xC0) {
      out[n++] = value;
      continue;
    }
    for (; run > 0;) {
      const int part = run > 63 ? 63 : run;
      out[n++] = static_cast<uint8_t>(0xC0 + part);
      out[n++] = value;
      run -= part;
    }
  }
  return n;
}

}  // namespace zc::codec
