// Debugging aids for the magnetic decoder that nothing in the system calls: a waveform plot written as a
// Windows bitmap, the bitmap writer itself, and a sample inverter that logs as it goes.
#pragma once

#include <cstdint>
#include <string_view>

namespace analysis::micr {

class MicrLogs;

// Writes a bottom-up Windows bitmap (1, 4, 8 or 24 bits, gray palettes); `pixels` holds the rows top row
// first, each `width` pixels packed without padding. Returns true when the file was written.
bool funcMicrWriteBitmap(int width, int height, int bitsPerPixel, int dpi, const uint8_t* pixels,
                         std::string_view fileName);

// One row per sample, 256 pixels wide, 8-bit, 100 dpi. `format`: 0 the low byte, 1 the value / 4, other
// the high byte.
bool funcMicrPlotWaveform(const uint16_t* samples, int count, std::string_view fileName, int format);

// Replaces each sample v by (high - v) / 256, logging the running extremes to the temp log.
void funcMicrInvertSamples(uint16_t* samples, int count, const MicrLogs* logs = nullptr);

}  // namespace analysis::micr
