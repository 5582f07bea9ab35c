// The VEKQv5xx dialect of the later series' device blocks: a 15-byte status block of three flag bytes and
// six words, a 9-byte printer block, a 92-byte acquisition block with the magnetic head's potentiometer
// and four 22-byte channel records, the franker's two bytes in block 35, an 11-byte image transfer, empty
// blocks 36, 38 and 39, and mechanical sections 64 to 68 (block 64 with big-endian words at odd offsets),
// with the field numbers the series uses, its mechanical INI keys and the RM 70's defaults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "qv6/later/device_block.h"
#include "qv6/later/mech_ini.h"

namespace qv6::vekqv5xx {

inline constexpr size_t kStatusBlockSize = 15;

// Type 2: the three flag bytes, then words 0 to 5.
enum StatusField : size_t { kS0 = 0, kS1, kS2, kWordLinesHeld, kWordDocumentLines, kWordFirstLine, kWord3,
                            kWordSamples, kWord5, kStatusFields };

// s0: device flags.
enum DeviceFlag : uint8_t {
  kS0PowerOn = 0x01,
  kS0Enabled = 0x02,
  kS0Feeding = 0x04,
  kS0Direction = 0x08,
  kS0Error = 0x20,
  kS0InsertError = 0x40,
  kS0Jam = 0x80,
};
// s1: sensors.
enum SensorFlag : uint8_t {
  kS1InkJet = 0x01,
  kS1Feed = 0x02,
  kS1Sync = 0x04,
  kS1Exit = 0x08,
  kS1ModeSelect = 0x10,
  kS1Pocket = 0x20,
};
// s2: data flags.
enum DataFlag : uint8_t {
  kS2SameDocument = 0x02,
  kS2LengthValid = 0x04,
  kS2ImagesReady = 0x0C,  // both bits
  kS2SamplesReady = 0x10,
  kS2HoldFront = 0x20,
  kS2HoldRear = 0x40,
  kS2HoldSamples = 0x80,
};

// Type 34: image word, potentiometer, plane count, then the records' bytes one field each.
inline constexpr size_t kAcquisitionSize = 92;
inline constexpr size_t kChannelRecordSize = 22;
enum AcquisitionField : size_t { kAcqImageWord = 0, kAcqPotentiometer, kAcqPlanes, kAcqRecordBytes };
inline constexpr size_t RecordByte(size_t record, size_t byte) {
  return kAcqRecordBytes + record * kChannelRecordSize + byte;
}

// Type 35: the franker's mode and allowance.
enum FrankerField : size_t { kFrMode = 0, kFrAllowance };

// Type 65: motor words and bytes, then (speed, steps) of 16 acceleration and 10 deceleration entries.
inline constexpr size_t kAccelerationEntries = 16;
inline constexpr size_t kDecelerationEntries = 10;
enum MotorField : size_t { kMoStepsPerMeter = 0, kMoDivisorOffset, kMoEjectSpeedIndex, kMoCcw, kMoEntries };
inline constexpr size_t AccelField(size_t i, bool steps) {
  return kMoEntries + 2 * i + (steps ? 1 : 0);
}
inline constexpr size_t DecelField(size_t i, bool steps) {
  return AccelField(kAccelerationEntries + i, steps);
}

// Type 66: the scanning path.
enum PathField : size_t { kPaLength = 0, kPaDebounce, kPaFeedTimeOut, kPaMotorStartDelay, kPaPosJam0,
                          kPaSlipLength, kPaOperatingMode, kPaBackEjectSteps, kPaFields };

// Type 67: the magnetic head.
enum HeadField : size_t { kMhPosition = 0, kMhGainCalib, kMhOffset };

const BlockTable& VEKQv5xxBlockTable();
const std::vector<later::MechIniBinding>& VEKQv5xxMechIniBindings();
// Sets every field of blocks 64 to 68 to the RM 70's EEPROM default.
void FillVEKQv500Defaults(BlockValues& values);

}  // namespace qv6::vekqv5xx
