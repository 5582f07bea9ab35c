// The device blocks of the QV62x series as data: its 23-byte status block, the settings blocks 33 to 36,
// the 16-byte device record (block 4) and the mechanical sections 64 to 68, with the field numbers the
// template uses. The image-module section has the later series' layout, so its field numbers are those
// of qv6::later. The mechanical INI bindings and the models' section defaults sit beside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "qv6/later/device_block.h"
#include "qv6/later/mech_ini.h"

namespace qv6::qv62x {

enum StatusField : size_t {
  kStStatus = 0,
  kStError,
  kStSpare4,
  kStImageState,
  kStSpare7,
  kStSpare8,
  kStLines,     // N: image lines of the document
  kStDistance,  // D: lines the later sensor lags behind
  kStLeadIn,    // L: lines before the document
  kStMicrState,
  kStSamples,  // 16-bit samples
  kStSerialCount,
  kStTrailing,  // T: lines after the document
  kStFields
};
inline constexpr size_t kStatusBytes = 23;
inline constexpr int64_t kDataReady = 2;  // image state and MICR state
inline constexpr int64_t kImageJammed = 6;

enum ScanField : size_t {
  kScRate = 0,
  kScChannels,
  kScFrontEnable,
  kScFrontRecords,
  kScRearEnable = 23,
  kScRearRecords
};
inline constexpr size_t kRecordFields = 5;  // exposure, offset, red, green, blue LED power

enum DoubleFeedField : size_t { kDfDelay = 0, kDfEnable, kDfPhotoOut };
enum SerialField : size_t { kSerBaud = 0, kSerParity, kSerCharLen, kSerStopBits };

inline constexpr size_t kRampEntries = 32;
enum MotorField : size_t {
  kMoStepsPerMeter = 0,
  kMoEjectSpeed,
  kMoAccel,  // speed, count of each entry
  kMoDecel = kMoAccel + 2 * kRampEntries,
  kMoFeedSpeed = kMoDecel + 2 * kRampEntries,
  kMoOutSpeed,
  kMoFields
};
enum TransportField : size_t {
  kTsPathLength = 0,
  kTsEdgeDebounce,
  kTsPwmDoubleFeed,
  kTsExtraDocSize,
  kTsRewind,
  kTsFeedTimeOut,
  kTsMotorStartDelay,
  kTsPwmDoubleFeed1,
  kTsPosSorter,
  kTsFields
};
enum MicrHeadField : size_t { kMhPosition = 0, kMhFrequency, kMhGain };

inline constexpr size_t kInfo4Bytes = 16;

const BlockTable& Qv62xBlockTable();
const std::vector<later::MechIniBinding>& Qv62xMechIniBindings();

// A motor table as (speed, count) entries from entry 0; the rest run at 1700 with no steps.
using RampEntry = std::pair<int, int>;
std::span<const RampEntry> MotorTableA();
std::span<const RampEntry> MotorTableB();
void SetRamp(BlockValues& values, size_t first, std::span<const RampEntry> table);
// Whether the acceleration table starts as table A does at entries 3 to 5 (1000, 1200, 1350).
bool AccelerationIsTableA(const BlockValues& values);

enum class Model { kQv602, kQv620, kQv702 };
// Every field of blocks 64 to 68 set to the model's default.
void FillMechDefaults(BlockValues& values, Model model);

}  // namespace qv6::qv62x
