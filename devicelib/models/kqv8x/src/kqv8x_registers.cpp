// The KQv8x image acquisition registers.
#include "qv6/kqv8x/kqv8x_registers.h"

#include <algorithm>

#include "qv6/kqv8x/kqv8x_blocks.h"

namespace qv6::kqv8x {
namespace {

void SetByte(BlockValues& v, size_t offset, int value) {
  v.Set(kBlockAcquisition, RegisterField(offset), value & 0xFF);
}

}  // namespace

int GainCode(int gain) {
  const auto g = static_cast<unsigned>(std::clamp(gain, 1000, 5850));
  const unsigned code = (100 - (58500000u / g - 10000) / 485) * 63 / 100;
  return static_cast<int>(std::min(code, 63u));
}

void OffsetCode(int offset, uint8_t positiveCode, uint8_t* code, uint8_t* magnitude) {
  const int v = (-3 * offset) / 25;
  const int w = v * 255 / 300;
  if (w > 255) {
    *code = positiveCode;
    *magnitude = 255;
  } else if (w < -255) {
    *code = static_cast<uint8_t>(positiveCode + 1);
    *magnitude = 255;
  } else if (w >= 1) {
    *code = positiveCode;
    *magnitude = static_cast<uint8_t>(w);
  } else {
    *code = static_cast<uint8_t>(positiveCode + 1);
    *magnitude = static_cast<uint8_t>(-w);
  }
}

void PrepareRegisters(BlockValues& v, int lineValue, int colourCode) {
  v.Set(kBlockAcquisition, kRegZero, 0);
  v.Set(kBlockAcquisition, kRegLineValue, lineValue);
  SetByte(v, 4, colourCode);
  const int fixed[5] = {0x18, 0x00, 0x60, 0x10, 0xF0};
  for (size_t i = 0; i < 5; ++i) SetByte(v, 5 + i, fixed[i]);
  const int set = lineValue <= 150 ? 0 : lineValue <= 200 ? 1 : 2;
  auto head = [&](size_t member) { return static_cast<int>(v.Get(kBlockMicrHead, HeadField(set, member))); };
  SetByte(v, 14, 0x40);
  SetByte(v, 15, GainCode(head(0)));
  uint8_t code = 0;
  uint8_t magnitude = 0;
  OffsetCode(head(1), 0x70, &code, &magnitude);
  SetByte(v, 20, code);
  SetByte(v, 21, magnitude);
  SetByte(v, 28, head(2));
}

void SideRegisters(BlockValues& v, bool front, bool full, int red, int green, int blue, int contrast) {
  const size_t o = front ? 0 : kImRearDelta;
  auto module = [&](size_t field) { return static_cast<int>(v.Get(kBlockImageModule, o + field)); };
  int gain = module(kImFrontGainColour);
  int offset = module(kImFrontOffsetColour);
  int pwm[3] = {0, 0, 0};
  if (full) {
    for (int c = 0; c < 3; ++c) pwm[c] = module(kImFrontPwmR + static_cast<size_t>(c));
  } else if (red == 33 && green == 34 && blue == 33) {
    gain = module(kImFrontGainGrey);
    offset = module(kImFrontOffsetGrey);
    for (int c = 0; c < 3; ++c) pwm[c] = module(kImFrontPwmR + static_cast<size_t>(c)) >> 1;
  } else if (red == 0 && green == 0 && blue == 0) {
    if (!front) {
      gain = 0;
      offset = 0;
    }
  } else {
    const int lit = red != 0 ? 0 : green != 0 ? 1 : 2;
    pwm[lit] = module(kImFrontPwmR + static_cast<size_t>(lit));
  }
  gain = contrast * gain / 100;
  uint8_t code = 0;
  uint8_t magnitude = 0;
  OffsetCode(offset, front ? 0x50 : 0x60, &code, &magnitude);
  SetByte(v, front ? 10 : 12, front ? 0x20 : 0x30);
  SetByte(v, front ? 11 : 13, GainCode(gain));
  SetByte(v, front ? 16 : 18, code);
  SetByte(v, front ? 17 : 19, magnitude);
  for (size_t c = 0; c < 3; ++c) SetByte(v, (front ? 22 : 25) + c, pwm[c]);
}

}  // namespace qv6::kqv8x
