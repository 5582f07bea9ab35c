// The six fixed-ratio scalers as one pass driven by a table of patterns. Rows and columns are kept when
// their index modulo the period is in the pattern; the 300-to-200 scaler mixes each group of three
// columns into two. Output positions never run ahead of the source positions they come from, and every
// output byte is written only after the source bytes it needs were read, so a forward pass also works in
// place.
#include "imaging/scalers.h"

#include <cstring>

#include "imaging/image_record.h"
#include "imaging_trace.h"
#include "status_codes.h"

namespace zc::imaging {
namespace {

struct ScalerSpec {
  const char* trace;
  int sourceDpi;  // 0: any; the result then has half of it
  int targetDpi;
  bool allows24;
  bool mixesColumns;
  int period;
  uint8_t keep;  // bit i set: keep index i mod period
  int mul, add, div;  // new side = (mul * side + add) / div
  bool evenAt4;
};

constexpr ScalerSpec k200To120{"funcImage200To120 %d by %d by %d", 200, 120, false, false, 5, 0b10101, 3, 2, 5,
                               false};
constexpr ScalerSpec k300To240{"funcImage300To240 %d by %d by %d", 300, 240, true, false, 5, 0b11011, 4, 2, 5,
                               false};
constexpr ScalerSpec k300To200{"funcImage300To200 %d by %d by %d", 300, 200, false, true, 3, 0b011, 2, 2, 3, true};
constexpr ScalerSpec k300To100{"funcImage300To200 %d by %d by %d", 300, 100, true, false, 3, 0b001, 1, 2, 3, true};
constexpr ScalerSpec k300To120{"funcImage300To200 %d by %d by %d", 300, 120, true, false, 5, 0b00101, 2, 4, 5, true};
constexpr ScalerSpec k200To100{"funcImage200To100 %d by %d by %d", 0, 0, false, false, 2, 0b01, 1, 1, 2, false};

bool Kept(const ScalerSpec& s, int index) {
  return (s.keep >> (index % s.period)) & 1;
}

int Nibble(const uint8_t* row, int x) {
  return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
}

// Packs 4-bit levels two a byte, left in the high nibble; a last unpaired level keeps 0 in the low one.
class NibbleWriter {
 public:
  explicit NibbleWriter(uint8_t* out) : out_(out) {}
  void Put(int level) {
    if (odd_) {
      *out_++ = static_cast<uint8_t>((held_ << 4) | level);
    } else {
      held_ = level;
    }
    odd_ = !odd_;
  }
  void Finish() {
    if (odd_) *out_ = static_cast<uint8_t>(held_ << 4);
  }

 private:
  uint8_t* out_;
  int held_ = 0;
  bool odd_ = false;
};

void PickRow(const ScalerSpec& s, const uint8_t* in, uint8_t* out, int width, int bits) {
  if (bits == 4) {
    NibbleWriter w(out);
    for (int x = 0; x < width; ++x)
      if (Kept(s, x)) w.Put(Nibble(in, x));
    w.Finish();
    return;
  }
  const int bytes = bits / 8;
  for (int x = 0; x < width; ++x) {
    if (!Kept(s, x)) continue;
    std::memmove(out, in + static_cast<size_t>(x) * bytes, bytes);
    out += bytes;
  }
}

// Each group a, b, c of source columns gives (3a + b) >> 2 and (b + 3c) >> 2; a group cut short by the
// row end repeats its last real pixel.
void MixRow(const uint8_t* in, uint8_t* out, int width, int bits, int outCount) {
  auto level = [&](int x) { return bits == 8 ? in[x] : Nibble(in, x); };
  NibbleWriter w(out);
  int produced = 0;
  for (int x = 0; x < width; x += 3) {
    const int a = level(x);
    const int b = x + 1 < width ? level(x + 1) : a;
    const int c = x + 2 < width ? level(x + 2) : b;
    const int first = (3 * a + b) >> 2;
    const int second = (b + 3 * c) >> 2;
    for (int v : {first, second}) {
      if (produced == outCount) break;
      if (bits == 8) {
        out[produced] = static_cast<uint8_t>(v);
      } else {
        w.Put(v);
      }
      ++produced;
    }
  }
  if (bits == 4) w.Finish();
}

int Scale(const ScalerSpec& s, std::span<const uint8_t> source, std::span<uint8_t> destination) {
  if (source.data() == nullptr || destination.data() == nullptr) return status::kBadRecord;
  const auto src = CheckRecord(source);
  if (!src) return status::kBadRecord;
  const RecordHeader h = src->header;
  TraceAt(1, s.trace, h.width, h.height, h.bits);
  if (!(h.bits == 4 || h.bits == 8 || (h.bits == 24 && s.allows24))) return status::kBadRecord;
  if (s.sourceDpi != 0 && h.dpi != s.sourceDpi) return status::kBadRecord;

  const int outCount = (s.mul * h.width + s.add) / s.div;
  RecordHeader out = h;
  out.width = (s.evenAt4 && h.bits == 4) ? (outCount + 1) & ~1 : outCount;
  out.height = (s.mul * h.height + s.add) / s.div;
  out.dpi = s.sourceDpi != 0 ? s.targetDpi : h.dpi / 2;
  const int64_t outSize = RecordByteSize(out);
  if (outSize < 0 || static_cast<uint64_t>(outSize) > destination.size()) return status::kBadRecord;

  // The source header is fully read above, so writing the new one first is safe in place.
  WriteRecordHeader(destination.data(), out);
  const size_t outRow = static_cast<size_t>(RecordRowBytes(out.width, out.bits));
  uint8_t* outPixels = destination.data() + kRecordHeaderBytes;
  int r = 0;
  for (int y = 0; y < h.height; ++y) {
    if (!Kept(s, y)) continue;
    uint8_t* o = outPixels + static_cast<size_t>(r++) * outRow;
    if (s.mixesColumns) {
      MixRow(src->Row(y), o, h.width, h.bits, outCount);
    } else {
      PickRow(s, src->Row(y), o, h.width, h.bits);
    }
  }
  return 1;
}

}  // namespace

int funcImage200To120(std::span<const uint8_t> source, std::span<uint8_t> destination) {
  return Scale(k200To120, source, destination);
}
int funcImage300To240(std::span<const uint8_t> source, std::span<uint8_t> destination) {
  return Scale(k300To240, source, destination);
}
int funcImage300To200(std::span<const uint8_t> source, std::span<uint8_t> destination) {
  return Scale(k300To200, source, destination);
}
int funcImage300To100(std::span<const uint8_t> source, std::span<uint8_t> destination) {
  return Scale(k300To100, source, destination);
}
int funcImage300To120(std::span<const uint8_t> source, std::span<uint8_t> destination) {
  return Scale(k300To120, source, destination);
}
int funcImage200To100(std::span<const uint8_t> source, std::span<uint8_t> destination) {
  return Scale(k200To100, source, destination);
}

}  // namespace zc::imaging
