// Channel records of the image acquisition block.
#include "qv6/later/channel_settings.h"

#include <algorithm>

#include "qv6/later/later_blocks.h"

namespace qv6::later {
namespace {

void SetByte(BlockValues& v, int record, int byte, int value) {
  v.Set(kBlockAcquisition,
        kAcqChannelBytes + static_cast<size_t>(record) * kChannelRecordSize + static_cast<size_t>(byte),
        value & 0xFF);
}

}  // namespace

int GainCode(int gain) {
  gain = std::clamp(gain, 1000, 5700);
  return std::min(63, (100 - (5700000 / gain - 1000) / 47) * 63 / 100);
}

int OffsetValue(int offset) {
  return ((3 * offset) / 35) * 255 / 300;
}

int HeadOffsetValue(int offset) {
  // -3 times the head's offset, scaled as the sensor offsets are.
  return ((-3 * offset) / 35) * 255 / 300;
}

void SignMagnitude(int value, uint8_t positiveCode, uint8_t* code, uint8_t* magnitude) {
  if (value >= 1) {
    *code = positiveCode;
    *magnitude = static_cast<uint8_t>(std::min(value, 255));
  } else {
    *code = static_cast<uint8_t>(positiveCode + 1);
    *magnitude = static_cast<uint8_t>(std::min(-value, 255));
  }
}

void ComputeColorRatios(unsigned red, unsigned green, unsigned blue, int* r, int* g, int* b) {
  double sum = static_cast<double>(red) + green + blue;
  if (sum == 0) {
    *r = 33;
    *g = 34;
    *b = 33;
    return;
  }
  auto share = [sum](unsigned v) { return static_cast<int>(v * 100.0 / sum); };
  // The largest takes what the other two leave; ties go to green, then red, then blue.
  if (green >= red && green >= blue) {
    *r = share(red);
    *b = share(blue);
    *g = 100 - *r - *b;
  } else if (red >= blue) {
    *g = share(green);
    *b = share(blue);
    *r = 100 - *g - *b;
  } else {
    *r = share(red);
    *g = share(green);
    *b = 100 - *r - *g;
  }
}

void PrepareChannelRecords(BlockValues& values) {
  int head = HeadOffsetValue(static_cast<int>(values.Get(kBlockMicrHead, kMhOffset)));
  uint8_t code = 0;
  uint8_t magnitude = 0;
  SignMagnitude(head, 0x70, &code, &magnitude);
  for (int r = 0; r < static_cast<int>(kChannelRecords); ++r) {
    SetByte(values, r, 0, kChannelRecordSize);
    SetByte(values, r, 1, 0);
    SetByte(values, r, 2, 0x68);
    SetByte(values, r, 3, 0x10);
    SetByte(values, r, 4, 0xC0);
    SetByte(values, r, 9, 0x40);
    SetByte(values, r, 10, 0);
    SetByte(values, r, 15, code);
    SetByte(values, r, 16, magnitude);
  }
}

void ComputeChannelSettings(BlockValues& values, Side side, int record, int red, int green, int blue,
                            int contrast, int flags) {
  if (record < 0 || record >= static_cast<int>(kChannelRecords)) return;
  size_t base = side == Side::kFront ? 0 : kImRearAcqDelta;
  auto module = [&](size_t field) { return static_cast<int>(values.Get(kBlockImageModule, base + field)); };
  int gain = 0;
  int offset = 0;
  int pwm[3] = {0, 0, 0};
  auto pick = [&](int colour) {
    gain = module(kImFrontGainR + static_cast<size_t>(colour));
    offset = module(kImFrontOffsetR + static_cast<size_t>(colour));
  };
  if (red == 33 && green == 34 && blue == 33) {
    gain = contrast * module(kImFrontGainGrey) / 100;
    offset = module(kImFrontOffsetGrey);
    for (int c = 0; c < 3; ++c) pwm[c] = module(kImFrontPwmR + static_cast<size_t>(c)) / 2;
  } else {
    int colour = red != 0 ? 0 : green != 0 ? 1 : blue != 0 ? 2 : -1;
    if (colour >= 0) {
      pick(colour);
      pwm[colour] = module(kImFrontPwmR + static_cast<size_t>(colour));
    }
    if (flags & 1) {
      pick(0);
    } else if (flags & 2) {
      pick(1);
    } else if (flags & 4) {
      pick(2);
    }
  }
  uint8_t code = 0;
  uint8_t magnitude = 0;
  bool front = side == Side::kFront;
  SignMagnitude(OffsetValue(offset), front ? 0x50 : 0x60, &code, &magnitude);
  SetByte(values, record, front ? 5 : 7, front ? 32 : 48);
  SetByte(values, record, front ? 6 : 8, GainCode(gain));
  SetByte(values, record, front ? 11 : 13, code);
  SetByte(values, record, front ? 12 : 14, magnitude);
  for (int c = 0; c < 3; ++c) SetByte(values, record, (front ? 17 : 20) + c, pwm[c]);
}

}  // namespace qv6::later
