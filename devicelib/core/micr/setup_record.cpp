// Preset table of the magnetic decoder.
#include "devicelib/core/micr/setup_record.h"

#include <stdexcept>

namespace micr {

namespace {
constexpr int kPresetMode = 2;

SetupRecord Fixed(SampleKind kind, int maximum, int rate, int direction) {
  return SetupRecord{kind, kPresetMode, 0, maximum, rate, direction, kCutoff};
}
}  // namespace

SetupRecord MakeSetupRecord(PresetTable table, int preset, int mode, int minimum, int maximum, int rate,
                            int direction) {
  SetupRecord record;
  switch (preset) {
    case 1:
      record = Fixed(SampleKind::kEightBit, 255, kNominalRate, 1);
      break;
    case 2:
      record = Fixed(SampleKind::kTenBit, 1023, kNominalRate, 0);
      break;
    case 3:
      record = Fixed(SampleKind::kSixteenBit, 65535, rate, 0);
      break;
    case 9:
      record = Fixed(SampleKind::kEightBit, 255, kNominalRate, 0);
      break;
    case 10:
      record = Fixed(SampleKind::kTenBit, 1023, kNominalRate, 1);
      break;
    default:
      if (table == PresetTable::kMainProgram && preset == 11) {
        record = Fixed(SampleKind::kSixteenBit, 65535, rate, 1);
      } else {
        record = SetupRecord{SampleKind::kNone, mode, minimum, maximum, rate, direction, kCutoff};
      }
      break;
  }
  if (record.kind == SampleKind::kSixteenBit && record.rate <= 0) {
    throw std::invalid_argument("magnetic sample rate must be positive");
  }
  return record;
}

}  // namespace micr
