// Reading one run of ITU-T T.4 run-length codes (make-up codes accumulate up to the
// terminating code) through the two-level decoder tables.
#pragma once

#include <cstdint>

#include "codec/bilevel/fax_bit_source.h"
#include "codec/bilevel/fax_decode_tables.h"

namespace zc::codec::detail {

// The run, or -1 on an invalid code or a run longer than `limit`.
inline int64_t faxReadRun(FaxBitSource& src, int colour, int64_t limit) {
  const FaxRunTables& t = faxRunTables();
  int64_t run = 0;
  for (;;) {
    const uint32_t v = src.peek(13);
    FaxRunEntry e = t.first[colour][v >> 4];
    if (e.kind == kRunLong) e = t.second[colour][v & 0x1FF];
    if (e.kind == kRunInvalid) return -1;
    src.skip(e.length);
    run += e.run;
    if (run > limit) return -1;
    if (e.kind == kRunTerminating) return run;
    if (src.overrun()) return -1;
  }
}

}  // namespace zc::codec::detail
