// The KQv8x image acquisition registers (block 34): the line value and colour code of the scan, the
// sensor front ends' gain codes, offsets and lamp PWMs for each side, and the magnetic head's gain, offset
// and reference, taken from the head set that suits the line value.
#pragma once

#include <cstdint>

#include "qv6/later/device_block.h"

namespace qv6::kqv8x {

// Gain 1000..5850 (clamped) to code 0..63.
int GainCode(int gain);
// A signed offset to its register (positiveCode, or positiveCode + 1 for the negative form) and magnitude.
void OffsetCode(int offset, uint8_t positiveCode, uint8_t* code, uint8_t* magnitude);

// Colour codes of the line: grey, colour mode 2 (three planes), colour mode 1.
inline constexpr int kColourCodeGrey = 1;
inline constexpr int kColourCodePlanes = 3;
inline constexpr int kColourCodeFour = 4;

// The line value, the fixed bytes and the head set: 0 for a line value up to 150, 1 up to 200, else 2.
void PrepareRegisters(BlockValues& values, int lineValue, int colourCode);

// One side's front-end registers. `full`: the side's colour gain, offset and all three lamps. Otherwise
// the grey ratios (33, 34, 33) take the grey gain and offset with the lamps at half power; any other
// ratios light only the first colour that is not 0. The gain is scaled by contrast (percent). With all
// ratios 0 no lamp is lit, and the rear then runs at the lowest gain with no offset.
void SideRegisters(BlockValues& values, bool front, bool full, int red, int green, int blue, int contrast);

}  // namespace qv6::kqv8x
