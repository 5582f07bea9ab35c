// Fuzz entry of the bilevel decoder: the first 12 bytes choose the coding, image size,
// window, zoom, pan, rotation, fill order and render flags; the rest is the strip, held in
// a block of exactly its size. Every strip must land inside the window.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/bilevel/fax_decoder.h"
#include "codec/bilevel/view_transform.h"

namespace {

constexpr int kModes[] = {0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 9, 12};
constexpr int kZooms[] = {2048, 1024, 512, 4096, 3000, 700, 1, 32767};

int read16(const uint8_t* p) {
  return p[0] | (p[1] << 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zc::codec;
  if (size < 12) return 0;
  ImageView v{};
  v.decoderMode = kModes[data[0] % std::size(kModes)];
  v.width = read16(data + 1) % 20001;
  v.length = read16(data + 3) % 3001;
  v.windowWidth = (data[5] % 129) * 8;
  v.windowHeight = data[6] * 4 + (data[11] & 3);
  v.zoomX = kZooms[data[7] % std::size(kZooms)];
  v.zoomY = kZooms[(data[7] >> 3) % std::size(kZooms)];
  v.rotation = data[8] & 3;
  v.renderFlags = (data[8] >> 2) & 3;
  v.fillOrder = (data[8] >> 4) & 1;
  v.panX = data[9] * 16;
  v.panY = data[10] * 8;
  if ((data[8] & 0x80) != 0) v.optionFlags |= kViewOptNoClamp;
  std::vector<uint8_t> strip(data + 12, data + size);
  v.fileHandle = -1;
  v.stripOffset = reinterpret_cast<uintptr_t>(strip.data());
  v.stripByteCount = static_cast<uint32_t>(strip.size());
  if (strip.empty()) return 0;
  v.optionFlags |= kViewOptStart;
  for (int calls = 0; calls < 100000; ++calls) {
    const int r = funcFaxDecodeLines(&v);
    if (r != kFaxStripReady) break;
    ViewStripPlacement p{};
    funcViewGetState(&v, &p);
    if (p.x < 0 || p.y < 0 || p.x + p.width > v.windowWidth || p.y + p.height > v.windowHeight) std::abort();
    if (v.linesInStrip > v.linesPerStrip) std::abort();
  }
  funcFaxDecodeFree(&v);
  return 0;
}
