// Bit writer padding (ITU-T T.81 F.1.2.3: pad with 1-bits before a marker).
#include "bit_writer.h"

namespace zc::jpeg {

void BitWriter::PadToByte() {
  int used = 64 - free_;
  const int pad = (8 - used % 8) % 8;
  acc_ = (acc_ << pad) | ((1u << pad) - 1u);
  used += pad;
  for (int shift = used - 8; shift >= 0; shift -= 8) EmitByte(static_cast<uint8_t>(acc_ >> shift));
  acc_ = 0;
  free_ = 64;
}

}  // namespace zc::jpeg
