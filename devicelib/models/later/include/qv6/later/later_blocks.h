// The block layouts of the later series as the QV63x series has them (other later series start from
// these), and the field numbers the template uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "qv6/later/device_block.h"

namespace qv6::later {

// Type 2, the 38-byte status block. A document record has eight fields, record B follows record A.
enum StatusField : size_t {
  kState = 0,
  kSensor = 1,
  kError = 2,
  kRecordA = 3,
  kRecordB = 11,
  kSerialCount = 19,
  kLastWord = 20
};
enum RecordField : size_t {
  kRecSpare = 0,
  kRecSequence,
  kRecWord,
  kRecWidth,
  kRecLines,
  kRecFirstFront,
  kRecFirstRear,
  kRecSamples,
  kRecFields
};

enum PrinterField : size_t { kPrinterControl = 0 };
enum AcquisitionField : size_t { kAcqLineSetting = 0, kAcqRecordCount = 1, kAcqChannelBytes = 2 };
// The QV64x block carries the franker mode and its allowance behind the QV63x fields.
enum DoubleFeedField : size_t {
  kDfDelay = 0,
  kDfEnable = 1,
  kDfSolenoid = 2,
  kDfFrankerMode,
  kDfFrankerAllowance
};
enum SerialField : size_t { kSerBaud = 0, kSerParity, kSerCharLen, kSerStopBits };
enum TransferField : size_t {
  kTrSequence = 0,
  kTrSide,
  kTrHalfSize,
  kTrTwo,
  kTrFirstLine,
  kTrEndLine,
  kTrFirstPixel,
  kTrEndPixel
};

// Type 64: the front fields, then the rear ones.
enum ImageModuleField : size_t {
  kImFrontResolution = 0,
  kImFrontSensor,
  kImFrontStartPixel,
  kImFrontGoodPixels,
  kImFrontIntensDrop,
  kImFrontTotalPixels,
  kImRearResolution,
  kImRearSensor,
  kImRearStartPixel,
  kImRearGoodPixels,
  kImRearIntensDrop,
  kImRearTotalPixels,
  kImFrontGainR,
  kImFrontGainG,
  kImFrontGainB,
  kImFrontGainGrey,
  kImFrontOffsetR,
  kImFrontOffsetG,
  kImFrontOffsetB,
  kImFrontOffsetGrey,
  kImFrontPwmR,
  kImFrontPwmG,
  kImFrontPwmB,
  kImRearGainR,
  kImRearGainG,
  kImRearGainB,
  kImRearGainGrey,
  kImRearOffsetR,
  kImRearOffsetG,
  kImRearOffsetB,
  kImRearOffsetGrey,
  kImRearPwmR,
  kImRearPwmG,
  kImRearPwmB,
  kImFrontPosition,
  kImRearPosition,
  kImFields
};
// Offsets of the rear gain...PWM group against the front one.
inline constexpr size_t kImRearAcqDelta = kImRearGainR - kImFrontGainR;

enum TransportField : size_t {
  kTsPathLength = 0,
  kTsPosPipeline,
  kTsEdgeDebounce,
  kTsPwmDoubleFeed0,
  kTsPwmDoubleFeed1,
  kTsRewind,
  kTsFeedTimeOut,
  kTsMotorStartDelay,
  kTsMotorOffDelay,
  kTsPosJam0,
  kTsPosJam1,
  kTsSolenoidDrive,
  kTsSolenoidHold,
  kTsSolenoidOffDelay,
  kTsPosSorter,
  kTsDriveFeedSolenoid,
  kTsSlipLength,
  kTsOperatingMode,
  kTsPreSync,
  kTsFields,
  // The QV64x transport section goes on with the franker and the feed solenoid's re-energising.
  kTsFrankPosition = kTsFields,
  kTsFrankOnLag,
  kTsFrankOffLag,
  kTsFeedReEnergizeDelay,
  kTsFeedOffBeforeReEnergize,
  kTsFrankDefaultLength,
  kTsFrankDefaultMargin,
  kTsQv64xFields
};
// The QV64x head section adds a gain calibration factor (byte 4; the offset moves to bytes 5-6). Its field
// number follows the offset's so that every series finds the offset at the same field.
enum MicrHeadField : size_t { kMhPosition = 0, kMhFrequency, kMhOffset, kMhGainCalib };

inline constexpr size_t kRampEntries = 32;  // per table; acceleration then deceleration

// The status block's records: A and B (QV63x), or one (KQv8x).
inline constexpr size_t kStatusRecordsAB[] = {kRecordA, kRecordB};
inline constexpr size_t kStatusRecordA[] = {kRecordA};

// Payload sizes of the QV63x blocks.
inline constexpr size_t kStatusBlockSize = 38;
inline constexpr size_t kChannelRecords = 4;
inline constexpr size_t kChannelRecordSize = 23;

// A field of a layout stored from any length; the series' layouts are built from these.
struct PlainField {
  uint16_t offset;
  uint8_t width;
  bool isSigned = false;
};
// A layout of plain fields; `bare`: the block is built without its type and length.
BlockLayout PlainLayout(uint16_t type, uint16_t size, std::initializer_list<PlainField> fields, bool bare = false);
// The 66-byte image module section (type 64) the QV63x and QV62x share.
BlockLayout ImageModuleLayout();

const BlockTable& Qv63xBlockTable();
// The QV63x layouts with the QV64x blocks 35 (6 bytes), 66 (46) and 67 (7).
const BlockTable& Qv64xBlockTable();

}  // namespace qv6::later
