// The KQv8x dialect of the later series' device blocks: a 24-byte status block with one document record,
// the 29 register bytes of the image acquisition block, shorter mechanical sections (64 to 69, no 70) and
// the field numbers the series uses in them, with the mechanical INI keys and the KQv8's defaults.
#pragma once

#include <cstddef>
#include <vector>

#include "qv6/later/device_block.h"
#include "qv6/later/later_blocks.h"
#include "qv6/later/mech_ini.h"

namespace qv6::kqv8x {

inline constexpr size_t kStatusBlockSize = 24;
// Status block fields: the three words and the record as in the QV63x block, then these.
inline constexpr size_t kSerialCountField = size_t{later::kRecordA} + size_t{later::kRecFields};

// Type 34: u16 0, u16 line value, then one field per byte from offset 4 (field = offset - 2).
inline constexpr size_t kRegisterBytes = 29;
enum RegisterField : size_t { kRegZero = 0, kRegLineValue = 1 };
inline constexpr size_t RegisterField(size_t offset) {
  return offset - 2;
}

// Type 64 behind the twelve module fields shared with the QV63x layout: gains, offsets and lamp PWMs
// of the front, then of the rear, then the two image positions.
enum ImageModuleField : size_t {
  kImFrontGainColour = later::kImRearTotalPixels + 1,
  kImFrontGainGrey,
  kImFrontOffsetColour,
  kImFrontOffsetGrey,
  kImFrontPwmR,
  kImFrontPwmG,
  kImFrontPwmB,
  kImRearGainColour,
  kImFrontPosition = kImRearGainColour + 7,
  kImRearPosition,
  kImFields
};
inline constexpr size_t kImRearDelta = kImRearGainColour - kImFrontGainColour;

// Type 66.
enum TransportField : size_t {
  kTsPathLength = 0,
  kTsEdgeDebounce,
  kTsPwmDoubleFeed0,
  kTsRewind,
  kTsFeedTimeOut,
  kTsMotorStartDelay,
  kTsMotorOffDelay,
  kTsPosJam0,
  kTsSlipLength,
  kTsOperatingMode,
  kTsPosSyncAux,
  kTsFields
};

// Type 67: position and sample density, then three sets of gain, signed offset and reference.
enum MicrHeadField : size_t { kMhPosition = 0, kMhSamples, kMhFirstSet };
inline constexpr size_t HeadField(int set, size_t member) {  // member 0 gain, 1 offset, 2 reference
  return kMhFirstSet + 3 * static_cast<size_t>(set) + member;
}

const BlockTable& KQv8xBlockTable();
const std::vector<later::MechIniBinding>& KQv8xMechIniBindings();
// Sets every field of blocks 64 to 69 to the KQv8's default.
void FillKQv8Defaults(BlockValues& values);

}  // namespace qv6::kqv8x
