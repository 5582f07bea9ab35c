// The image acquisition block's channel records (type 34): four 23-byte records, each lighting the LEDs of
// both sides for one raw line with the gain, offset and PWM values of the image module section (type 64).
// Gains and offsets are coded for the sensor's front end; the magnetic head's offset rides along.
#pragma once

#include <cstdint>

#include "qv6/later/device_block.h"

namespace qv6::later {

enum class Side { kFront, kRear };

// Gain 1000..5700 (clamped) to code 0..63.
int GainCode(int gain);
// An offset to its magnitude before the sign code.
int OffsetValue(int offset);
// The magnetic head's offset (of the head section) to its magnitude before the sign code.
int HeadOffsetValue(int offset);
// Sign code (positiveCode for a value of 1 or more, positiveCode + 1 otherwise) and magnitude up to 255.
void SignMagnitude(int value, uint8_t positiveCode, uint8_t* code, uint8_t* magnitude);

// Shares of red, green and blue in percent that add up to 100 (33, 34, 33 when all are 0).
void ComputeColorRatios(unsigned red, unsigned green, unsigned blue, int* r, int* g, int* b);

// The constant bytes of all four records and the magnetic-head offset.
void PrepareChannelRecords(BlockValues& values);
// One side's part of record `record` from the colour selectors (percent), contrast and flags (bit 0 red,
// bit 1 green, bit 2 blue: whose gain and offset apply outside grey).
void ComputeChannelSettings(BlockValues& values, Side side, int record, int red, int green, int blue,
                            int contrast, int flags);

// One LED lit per channel record in colour: the selectors, contrast and flags ComputeChannelSettings takes.
struct ColourRecord {
  int red;
  int green;
  int blue;
  int contrast;
  int flags;
};
// Colour mode 1 lights records 0-3 green, blue, green, red; colour mode 2 (three plane lines a group)
// lights green, blue, red and leaves record 3 dark.
inline constexpr ColourRecord kColourMode1Records[4] = {
    {0, 100, 0, 100, 1}, {0, 0, 100, 100, 2}, {0, 100, 0, 100, 4}, {100, 0, 0, 100, 2}};
inline constexpr ColourRecord kColourMode2Records[4] = {
    {0, 100, 0, 100, 1}, {0, 0, 100, 100, 2}, {100, 0, 0, 100, 4}, {0, 0, 0, 0, 2}};

}  // namespace qv6::later
