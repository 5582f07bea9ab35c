// Fuzz entry for the ink-jet font and the endorsement path: any font bytes, any text, any position,
// density, flags and buffer size must render and place without touching memory outside the buffers.
//
// Input: byte 0 flags; byte 1 density (bits 0-2), mirrored (bit 3); bytes 2-5 position (LE, signed);
// bytes 6-7 host buffer size in bytes (LE, at most 10000); bytes 8-9 font length L (LE); then L font bytes
// (as many as are there); the rest is the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "qv6/endorsement/host_buffer_print.h"

using namespace qv6::endorsement;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  const int flags = data[0];
  const HostBufferLayout layout{data[1] & 7, (data[1] & 8) != 0};
  const auto position = static_cast<int32_t>(static_cast<uint32_t>(data[2]) | (uint32_t{data[3]} << 8) |
                                             (uint32_t{data[4]} << 16) | (uint32_t{data[5]} << 24));
  const size_t hostBytes = std::min<size_t>(data[6] | (data[7] << 8), 10000);
  const size_t fontLength = std::min<size_t>(data[8] | (data[9] << 8), size - 10);
  const uint8_t* font = data + 10;
  const auto* text = reinterpret_cast<const char*>(font + fontLength);
  const int textLength = static_cast<int>(size - 10 - fontLength);

  PrinterString printer(InkJetFont::FromBytes({font, fontLength}));
  // Exact-size heap buffers, so a sanitizer sees any step outside them.
  std::vector<uint8_t> host(hostBytes, 0x5A);
  if (PrintTextToHostBuffer(host, printer, text, textLength, position, flags, layout) != 1) std::abort();
  const int columns = printer.columns();
  if (columns != 10 * std::min(textLength, PrinterString::kMaxCharacters)) std::abort();

  // The rendered bitmap through the plain column encoder, as the other series send it.
  const auto image = EndorsementBitmap::FromCaller(printer.bitmap().data(), columns, PrinterString::kRows);
  if (!image) std::abort();
  std::vector<uint8_t> encoded(2 * static_cast<size_t>(columns) + 1);
  EncodeNozzleColumns(*image, 0, true, encoded);
  for (size_t k = 0; k < static_cast<size_t>(columns); ++k) {
    if ((encoded[2 * k + 1] & 0xF0) != 0) std::abort();  // 12 nozzles only
  }
  return 0;
}
