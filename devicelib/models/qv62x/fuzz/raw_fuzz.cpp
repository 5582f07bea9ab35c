// Fuzz entry of the QV62x raw image path: the counts N, D, L, T and the pixels P, the window and the
// height bounds from the input, the raw data from a fake bulk read of the rest, through the raw read,
// the jam check and both sides' acquisition.
#include <vector>

#include "fuzz_device.h"
#include "qv6/later/later_blocks.h"

namespace {

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kHead = 16;
  if (size < kHead + 1) return 0;
  std::vector<uint8_t> bytes(data + kHead, data + size);
  qv6::fuzz::Bench bench(bytes);
  qv6::Qv620 model(bench.transport);
  qv6::BlockValues& b = model.blocks();
  // Good pixels of both sides (the front's may exceed the rear's P) and the counts of the status block.
  b.Set(qv6::kBlockImageModule, qv6::later::kImFrontGoodPixels, U16(data) % 2600);
  b.Set(qv6::kBlockImageModule, qv6::later::kImRearGoodPixels, U16(data + 2) % 2600);
  b.Set(qv6::kBlockImageModule, qv6::later::kImRearSensor, data[4] & 8);
  b.Set(qv6::kBlockStatus, qv6::qv62x::kStLines, U16(data + 5));
  b.Set(qv6::kBlockStatus, qv6::qv62x::kStDistance, U16(data + 7));
  b.Set(qv6::kBlockStatus, qv6::qv62x::kStLeadIn, U16(data + 9));
  b.Set(qv6::kBlockStatus, qv6::qv62x::kStTrailing, U16(data + 11));
  const int mode = data[13] & 1;
  model.PrepareLineLoaders();
  if (!model.ReadRawImageData()) return 0;
  model.CheckJam(mode, 8, 4, data[14]);
  const int bottom = static_cast<int8_t>(data[15]) * 20;
  for (int side = 0; side < 2; ++side)
    model.AcquireLines(side, mode, data[15] & 1 ? 100 : 200, 1, bottom, 1000);
  return 0;
}
