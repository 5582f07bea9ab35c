// Fuzz entry of the bilevel encoder: the first 3 bytes choose the mode, fill order and
// width, the rest are the caller's rows (bits past the width included). The coded data must
// fit a memory target bounded by the encoder's own limit and decode back to the rows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/bilevel/change_list.h"
#include "codec/bilevel/fax_decoder.h"
#include "codec/bilevel/fax_encoder.h"
#include "codec/bilevel/view_transform.h"

namespace {
constexpr int kModes[][2] = {{0, 0}, {1, 1}, {2, 2}, {4, 4}, {5, 5}, {6, 1}, {7, 7}};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zc::codec;
  if (size < 4) return 0;
  const auto& mode = kModes[(data[0] & 0x7F) % std::size(kModes)];
  const int fillOrder = data[0] >> 7;
  const int width = 1 + ((data[1] | (data[2] << 8)) % 12000);
  const size_t stride = (static_cast<size_t>(width) + 7) / 8;
  const size_t lines = std::min<size_t>((size - 3) / stride, 64);
  if (lines == 0) return 0;
  const uint8_t* rows = data + 3;

  std::vector<uint8_t> out(lines * (static_cast<size_t>(width) + 64) + 8192);
  FaxEncodeCtx ctx{};
  std::strcpy(ctx.outputName, kFaxMemoryOutputName);
  ctx.mode = mode[0];
  ctx.width = width;
  ctx.fillOrder = fillOrder;
  ctx.outputStart = reinterpret_cast<uintptr_t>(out.data());
  ctx.outputLimit = reinterpret_cast<uintptr_t>(out.data() + out.size());
  if (funcFaxEncodeOpen(&ctx) != 0) std::abort();
  for (size_t y = 0; y < lines; ++y) funcFaxEncodeLine(&ctx, rows + y * stride);
  if (funcFaxEncodeClose(&ctx) != 0) std::abort();  // every mode stays below 8 bits a pixel
  if (ctx.bytesDelivered == 0) return 0;            // mode 7 with a line narrower than a byte

  ImageView v{};
  v.fileHandle = -1;
  v.stripOffset = reinterpret_cast<uintptr_t>(out.data());
  v.stripByteCount = ctx.bytesDelivered;
  v.width = width;
  v.length = static_cast<int32_t>(lines);
  v.windowWidth = static_cast<int32_t>(stride * 8);
  v.windowHeight = static_cast<int32_t>(lines);
  v.zoomX = v.zoomY = 2048;
  v.decoderMode = mode[1];
  v.fillOrder = fillOrder;
  if (funcFaxDecodeOpen(&v) != 0) std::abort();
  // Compare line by line through the change lists.
  std::vector<uint32_t> expected(static_cast<size_t>(width) + 20);
  const int coded = mode[0] == 7 ? width / 8 * 8 : width;
  for (size_t y = 0; y < lines; ++y) {
    if (faxDecodeNextLine(&v) != 0) std::abort();
    ++v.currentLine;
    std::vector<uint8_t> row(rows + y * stride, rows + (y + 1) * stride);
    if (coded < width) {
      for (int x = coded; x < width; ++x)
        row[static_cast<size_t>(x) / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
    }
    const int n = funcFaxLineToChanges(row.data(), width, expected.data());
    for (int i = 0; i <= n; ++i) {
      if (v.currentChanges[i] != expected[static_cast<size_t>(i)]) std::abort();
    }
  }
  funcFaxDecodeFree(&v);
  return 0;
}
