// Placing endorsement column words in the host buffer, clipped to the buffer.
#include "qv6/endorsement/host_buffer_print.h"

#include <algorithm>

namespace qv6::endorsement {

int64_t StartColumn(int position, int density, size_t columns) {
  const int64_t n = int64_t{position} * kDensityColumnFactor[static_cast<size_t>(density) & 7u] / 100;
  return std::min(n, static_cast<int64_t>(columns) - 1);
}

int PrintBitmapToHostBuffer(std::span<uint8_t> hostBuffer, const void* bits, int width, int rows,
                            int position, int flags, HostBufferLayout layout) {
  const auto image = EndorsementBitmap::FromCaller(bits, width, rows);
  if (!image) return 0;
  if (flags & kFlagClearBuffer) std::fill(hostBuffer.begin(), hostBuffer.end(), 0);

  const auto columns = static_cast<int64_t>(hostBuffer.size() / 2);
  const int64_t n = StartColumn(position, layout.density, hostBuffer.size() / 2);
  const auto imageWidth = static_cast<int64_t>(image->width);
  const bool inkWhereSet = (flags & kFlagInkWhereSet) != 0;
  auto put = [&](int64_t column, int64_t k) {
    const uint16_t word = NozzleColumn(*image, static_cast<size_t>(k), inkWhereSet);
    hostBuffer[2 * column] = static_cast<uint8_t>(word);
    hostBuffer[2 * column + 1] = static_cast<uint8_t>(word >> 8);
  };

  if (!layout.mirrored) {
    // Column k at n - 1 - k for min(n, width) columns: all within 0..n-1.
    const int64_t count = std::min(n, imageWidth);
    for (int64_t k = 0; k < count; ++k) put(n - 1 - k, k);
  } else {
    // Column k at n - 1 + k for min(width, columns - n) columns; those before column 0 (start column 0 or
    // a negative position) are left out rather than written outside the buffer.
    const int64_t count = std::min(imageWidth, columns - n);
    for (int64_t k = std::max<int64_t>(0, 1 - n); k < count; ++k) put(n - 1 + k, k);
  }
  return 1;
}

int PrintTextToHostBuffer(std::span<uint8_t> hostBuffer, PrinterString& printer, const char* text, int length,
                          int position, int flags, HostBufferLayout layout) {
  int columns = 0;
  int rows = 0;
  if (!printer.RenderText(text, length, &columns, &rows)) return 0;
  return PrintBitmapToHostBuffer(hostBuffer, printer.bitmap().data(), columns, rows, position,
                                 flags ^ kFlagInkWhereSet, layout);
}

int PrintTextToHostBuffer(std::span<uint8_t> hostBuffer, std::string_view fontName, const char* text,
                          int length, int position, int flags, HostBufferLayout layout) {
  PrinterString printer(fontName);
  return PrintTextToHostBuffer(hostBuffer, printer, text, length, position, flags, layout);
}

}  // namespace qv6::endorsement
