// Fuzz entry for JPEG decoding through the codec's descriptor (funcInitDecomp, funcDecomp and the
// comment reader), as the image programs call it. The last kOptionBytes bytes set every caller field of
// the descriptor; the bytes before them are the memory source:
//   option 0     output colour mode (0..7: mapped, gray, mapped swapped, RGB, RGB swapped, unknown)
//   option 1     dither (bits 0-1), no palette (bit 2), the caller's coefficient store (bit 3), fast
//                transform (bit 4), reduction components (bits 5-6)
//   option 2     colours (option 2 x 2 - 20: negative, too few and too many included)
//   option 3, 4  horizontal and vertical scale (one of a table, 0 and extremes included)
//   option 5-8   window top, left, width, height, each times 1 or 8 (option 9 bit 0)
//   option 9     bits 1-7: start offset into the source
//   option 10    colour offsets (signed, scaled per channel); option 11 colour gains
// Bands must lie inside the window, packed at one width, and are read in full; a failure must be a
// codec error code; the caller's store is used only inside what it handed out and is freed every time.
// Pictures above 4 Mpx are not decoded, to keep each run short.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/core/img_desc.h"
#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"
#include "codec/jpeg/decoder/jpeg_decomp_format.h"

namespace {

using namespace zc::codec;

constexpr size_t kOptionBytes = 12;

struct Store {
  uint16_t count;
  uint16_t size;
  std::vector<uint8_t> bytes;
};

int gStoresLive = 0;

void* StoreAlloc(uint16_t count, uint16_t size) {
  // Sizes beyond what a test picture needs are refused, as a caller short of memory would.
  if (size_t{count} * size > (size_t{64} << 20)) return nullptr;
  ++gStoresLive;
  return new Store{count, size, std::vector<uint8_t>(size_t{count} * size)};
}

void* StoreGet(uint16_t count, uint16_t size, void* block, uint16_t index) {
  auto* s = static_cast<Store*>(block);
  if (s == nullptr || s->count != count || s->size != size || index >= count) __builtin_trap();
  return s->bytes.data() + size_t{index} * size;
}

int StoreFree(uint16_t count, uint16_t size, void* block) {
  auto* s = static_cast<Store*>(block);
  if (s == nullptr || s->count != count || s->size != size) __builtin_trap();
  delete s;
  --gStoresLive;
  return 1;
}

struct BandCheck {
  int bytesPerPixel = 1;
  int nextRow = 0;
  int width = -1;
  uint16_t maxWidth = 0;
};

int CheckBand(int c0, int r0, int c1, int r1, const uint8_t* rows, uintptr_t user) {
  auto* check = reinterpret_cast<BandCheck*>(user);
  if (c0 != 0 || c1 <= 0 || r1 <= r0 || r0 != check->nextRow || rows == nullptr) __builtin_trap();
  if ((check->width >= 0 && c1 != check->width) || (check->maxWidth != 0 && c1 > check->maxWidth))
    __builtin_trap();
  check->nextRow = r1;
  check->width = c1;
  // Read in full, so a band shorter than stated is caught.
  unsigned sum = 0;
  for (size_t i = 0, n = size_t(c1) * size_t(r1 - r0) * check->bytesPerPixel; i < n; ++i) sum += rows[i];
  return sum == 0xFFFFFFFFu;
}

void ExpectCode(int result) {
  if (result < 0 && (iImgError < 1 || iImgError > 73)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kOptionBytes) return 0;
  const uint8_t* opt = data + size - kOptionBytes;
  size -= kOptionBytes;
  static constexpr uint16_t kScales[] = {0, 2048, 1024, 512, 256, 4096, 8192, 1000, 1500, 1, 65535, 2047};
  const uint16_t step = (opt[9] & 1) ? 8 : 1;

  uint8_t palette[768] = {};
  ImgDecompDesc d;
  funcInitDecompDesc(&d);
  d.memAddress = data;
  d.memSize = static_cast<int32_t>(size);
  d.startOffset = opt[9] >> 1;
  d.outputColorMode = opt[0] & 7;
  d.ditherMode = opt[1] & 3;
  d.palette = (opt[1] & 4) ? nullptr : palette;
  if (opt[1] & 8) {
    d.mcuAlloc = StoreAlloc;
    d.mcuGetPtr = StoreGet;
    d.mcuFree = StoreFree;
  }
  d.fastTransform = (opt[1] >> 4) & 1;
  d.reductionComponents = (opt[1] >> 5) & 3;
  d.colors = static_cast<int16_t>(opt[2] * 2 - 20);
  d.scaleX = kScales[opt[3] % std::size(kScales)];
  d.scaleY = kScales[opt[4] % std::size(kScales)];
  for (int i = 0; i < 4; ++i) {
    d.colorOffsets[i] = static_cast<int16_t>(static_cast<int8_t>(opt[10]) * (i + 1));
    d.colorGains[i] = static_cast<uint16_t>(opt[11] * 16 * i);
  }

  const int info = funcInitDecomp(&d);
  ExpectCode(info);
  // Comments into an exact-size buffer, whatever the header step said.
  char comments[40];
  uint16_t dropped = 0;
  const int stored = funcJpegReadComments(&d, comments, sizeof(comments), &dropped);
  if (stored >= static_cast<int>(sizeof(comments))) __builtin_trap();
  if (info < 0 || std::memcmp(d.tag, "JPEG", 4) != 0) return 0;
  if (static_cast<uint32_t>(d.width) * d.height > (1u << 22)) return 0;

  d.windowTop = static_cast<uint16_t>(opt[5] * step);
  d.windowLeft = static_cast<uint16_t>(opt[6] * step);
  d.windowWidth = static_cast<uint16_t>(opt[7] * step);
  d.windowHeight = static_cast<uint16_t>(opt[8] * step);
  BandCheck check;
  const uint8_t kind = d.outputColorMode;
  check.bytesPerPixel = d.components > 1 && (kind == 3 || kind == 4) ? 3 : 1;
  check.maxWidth = d.windowWidth;
  d.display = CheckBand;
  d.userValue = reinterpret_cast<uintptr_t>(&check);
  ExpectCode(funcDecomp(&d));
  if (gStoresLive != 0) __builtin_trap();
  return 0;
}
