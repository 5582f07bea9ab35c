// Fuzz target over caller records: the input's first bytes choose the operation and its arguments, the
// rest is the record buffer (exact size). Header fields that disagree with the buffer must be refused,
// never trusted.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/checksum.h"
#include "imaging/histogram.h"
#include "imaging/record_helpers.h"
#include "imaging/rotate_bw.h"
#include "imaging/scalers.h"

namespace {

constexpr size_t kArgBytes = 9;

int16_t Arg(const uint8_t* p, int i) {
  return static_cast<int16_t>(p[1 + 2 * i] | (p[2 + 2 * i] << 8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zc::imaging;
  if (size < kArgBytes) return 0;
  const int op = data[0] % 24;
  const int a = Arg(data, 0), b = Arg(data, 1), c = Arg(data, 2), d = Arg(data, 3);
  std::vector<uint8_t> record(data + kArgBytes, data + size);
  std::vector<uint8_t> out(record.size() + 64);
  Histogram hist{};
  switch (op) {
    case 0: funcGetHistogram(record, a, hist); break;
    case 1: funcMiniGetHistogram(record, a, hist, b, c, d, a); break;
    case 2: funcImage200To120(record, out); break;
    case 3: funcImage300To240(record, out); break;
    case 4: funcImage300To200(record, out); break;
    case 5: funcImage300To100(record, out); break;
    case 6: funcImage300To120(record, out); break;
    case 7: funcImage200To100(record, out); break;
    case 8: funcImage300To200(record, record); break;
    case 9: funcImageCrc16(record); break;
    case 10: funcConv24ToGray(record, out, a & 15, b); break;
    case 11: ZARNGraySaturate(record, a, b, c & 1, d & 1); break;
    case 12: {
      std::vector<uint8_t> room(record);
      room.resize(record.size() + static_cast<uint16_t>(c) % 4096);
      PadImageLines(room, a % 64, b % 64);
      break;
    }
    case 13: funcTrimTopRows(record, a, b); break;
    case 14: funcTrimRightColumns(record, a, b); break;
    case 15: funcCopyImageWindow(record, out, a, b, c, d); break;
    case 16: funcCopyImageWindow4(record, out, a, b, c, d); break;
    case 17: funcCopyImage1(record, out); break;
    case 18: funcCropRightMargin8(record, out, a, b, c); break;
    case 19: funcCropRightMargin4(record, out, a, b, c); break;
    case 20: funcCropRightMargin1(record, out, a, b, c); break;
    case 21: funcImage300To240(record, record); break;
    default: {
      // The rotation trusts its caller for sizes, so the harness passes only geometry the buffer holds.
      const unsigned w = static_cast<uint16_t>(a) % 1024, h = static_cast<uint16_t>(b) % 1024;
      if (uint64_t{w / 8} * h <= record.size()) {
        std::vector<uint8_t> turned(uint64_t{w / 8} * h + 1);
        funcRotateBWImage(record.data(), turned.data(), w, h, c % 5);
      }
      break;
    }
  }
  return 0;
}
