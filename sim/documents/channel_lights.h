// Channel lighting of the scanner's image sensor. The host's image-acquisition block (type 34) carries
// up to four channel records; the sensor cycles through them line by line and each record lights the
// red, green and blue LEDs of a side with its PWM values. Grey lights all three at once, colour one LED
// a record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/documents/side_image.h"

namespace sim::documents {

enum class ColourMode { kGrey = 0, kColour = 1, kColourAltTiming = 2 };

struct ChannelLight {
  int red = 0;  // LED PWM values; 0 leaves the LED dark
  int green = 0;
  int blue = 0;
};

// What a sensor pixel reads of paper colour `c` under `light`: the PWM-weighted mean of the lit
// channels, rounded; 0 when no LED is lit. A grey document reads its own value under any light.
uint8_t Reflectance(const ChannelLight& light, Rgb c);

// The records the host sets up: grey four records with all three LEDs; colour mode 1 four records lit
// green, blue, green, red; colour mode 2 three records lit green, blue, red.
std::vector<ChannelLight> HostLights(ColourMode mode);

// Where a series' type-34 payload keeps its channel records and how many the sensor cycles through.
struct ChannelRecordLayout {
  size_t countAt = 2;      // the byte holding the number of records in use
  size_t recordsAt = 3;    // the first record
  size_t recordSize = 23;
  size_t frontPwmAt = 17;  // the front's red, green and blue PWM bytes within a record
  size_t rearPwmAt = 20;
};
// The RM 70's: the plane count at byte 3, 22-byte records from byte 4 (the others' records without their
// length byte).
inline constexpr ChannelRecordLayout kVekQv5xxChannelRecords{3, 4, 22, 16, 19};

// The records of one side (0 front, 1 rear) from a type-34 payload; by default the QV63x layout: record
// count at byte 2, 23-byte records from byte 3, front PWMs at record bytes 17..19 and rear at 20..22.
// nullopt for a payload too short for its records or a count outside 1..4.
std::optional<std::vector<ChannelLight>> LightsFromAcquisitionBlock(std::span<const uint8_t> payload, int side,
                                                                    const ChannelRecordLayout& layout = {});

}  // namespace sim::documents
