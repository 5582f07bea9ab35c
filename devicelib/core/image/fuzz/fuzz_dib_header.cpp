// Fuzz target over packed DIB headers as a caller may rewrite them in place. An image is created from the
// first four bytes (width, height, depth), its header is overwritten with up to 40 input bytes, and then
// every header reader, the document search, a crop with input bounds and each conversion run on it. Every
// size the readers report must stay inside the block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qv6/image/dib.h"
#include "qv6/image/image_cropping.h"

namespace {

constexpr size_t kHeaderBytes = 40;
constexpr size_t kSetupBytes = 4;
constexpr size_t kTailBytes = 9;  // four crop bounds and an operation

volatile uint32_t g_sink;

int16_t S16(const uint8_t* p) {
  return static_cast<int16_t>(p[0] | (p[1] << 8));
}

// Touches every byte of a range so that an out-of-block size is caught.
void Touch(const uint8_t* p, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += p[i];
  g_sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kSetupBytes + kTailBytes) return 0;
  static constexpr int kDepths[] = {1, 4, 8, 24};
  qv6::CDib dib;
  if (!dib.Create(data[0] % 65, data[1] % 65, kDepths[data[2] % 4], data[3])) return 0;
  std::memset(dib.GetBits(), 0x5A, dib.GetImageSize());

  const uint8_t* tail = data + size - kTailBytes;
  const size_t headerBytes = std::min(kHeaderBytes, size - kSetupBytes - kTailBytes);
  std::memcpy(dib.GetDibPtr(), data + kSetupBytes, headerBytes);

  g_sink = static_cast<uint32_t>(dib.GetWidth()) ^ static_cast<uint32_t>(dib.GetHeight()) ^
           static_cast<uint32_t>(dib.GetBitCount()) ^ static_cast<uint32_t>(dib.GetBytesPerLine()) ^
           static_cast<uint32_t>(dib.GetNumColors()) ^ static_cast<uint32_t>(dib.GetPaletteSize());
  Touch(dib.GetDibPtr(), dib.GetDibSize());
  if (const uint8_t* bits = dib.GetBits()) Touch(bits, dib.GetImageSize());

  qv6::CImageCropping finder;
  g_sink = qv6::FindDocumentHeight(finder, dib, 200);
  dib.Crop(S16(tail), S16(tail + 2), S16(tail + 4), S16(tail + 6));
  using Op = int (qv6::CDib::*)();
  static constexpr Op kOps[] = {&qv6::CDib::HalveSize,
                                &qv6::CDib::HalveWidthThirdHeight,
                                &qv6::CDib::ThirdSize,
                                &qv6::CDib::ThirdHeight,
                                &qv6::CDib::DoubleWidthTwoThirdsHeight,
                                &qv6::CDib::TwoThirdsSize,
                                &qv6::CDib::TwoThirdsHeight,
                                &qv6::CDib::TripleWidth,
                                &qv6::CDib::ThreeHalvesWidth,
                                &qv6::CDib::ConvertTo4Bit};
  (dib.*kOps[tail[8] % 10])();
  Touch(dib.GetDibPtr(), dib.GetDibSize());
  return 0;
}
