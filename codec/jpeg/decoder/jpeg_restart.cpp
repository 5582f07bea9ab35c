// Restart marker handling (ITU-T T.81 B.2.1).
#include "codec/jpeg/decoder/jpeg_restart.h"

#include "codec/jpeg/decoder/jpeg_error.h"

namespace zc::jpegdec {

void ProcessRestart(InputWindow& win, BitReader& br, int& expected, bool allow_eoi) {
  br.Reset();
  for (;;) {
    if (!win.Ensure(2)) Fail(kErrRestart);
    uint8_t b = win.At(0);
    if (b != 0xFF) {
      win.Advance(1);
      continue;
    }
    uint8_t n = win.At(1);
    if (n == 0x00) {
      win.Advance(2);
    } else if (n == 0xFF) {
      win.Advance(1);
    } else if (n == 0xD0 + expected) {
      win.Advance(2);
      expected = (expected + 1) & 7;
      return;
    } else if (n == 0xD9 && allow_eoi) {
      return;
    } else {
      Fail(kErrRestart);
    }
  }
}

}  // namespace zc::jpegdec
