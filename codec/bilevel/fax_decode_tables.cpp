// Decoder lookup tables, built once from the T.4 code texts.
#include "codec/bilevel/fax_decode_tables.h"

#include <cstring>

#include "codec/bilevel/fax_codes.h"

namespace zc::codec {
namespace {

FaxRunTables buildRunTables() {
  FaxRunTables t{};
  for (int colour = 0; colour < 2; ++colour) {
    for (int i = 0; i < 512; ++i) {
      t.first[colour][i] = {0, 0, kRunInvalid};
      t.second[colour][i] = {0, 0, kRunInvalid};
    }
    for (int index = 0; index < kFaxRunCodes; ++index) {
      const char* text = faxRunCodeText(colour, index);
      const int length = static_cast<int>(std::strlen(text));
      uint32_t value = 0;
      for (int b = 0; b < length; ++b) value = (value << 1) | (text[b] == '1' ? 1u : 0u);
      const FaxRunEntry entry{static_cast<uint16_t>(index < 64 ? index : (index - 63) * 64),
                              static_cast<uint8_t>(length),
                              static_cast<uint8_t>(index < 64 ? kRunTerminating : kRunMakeUp)};
      if (length <= 9) {
        const int spare = 9 - length;
        for (uint32_t k = 0; k < (1u << spare); ++k) t.first[colour][(value << spare) | k] = entry;
      } else {
        const int tail = length - 4;  // the bits after the four leading zeros
        const int spare = 9 - tail;
        for (uint32_t k = 0; k < (1u << spare); ++k) t.second[colour][(value << spare) | k] = entry;
      }
    }
    // Nine-bit prefixes starting with four zeros that no short code claims lead to level two.
    for (int i = 0; i < 32; ++i) {
      if (t.first[colour][i].kind == kRunInvalid) t.first[colour][i] = {0, 0, kRunLong};
    }
  }
  return t;
}

detail::FaxModeTable buildModeTable() {
  detail::FaxModeTable t{};
  auto fill = [&t](uint32_t value, int length, FaxModeEntry entry) {
    const int spare = 7 - length;
    for (uint32_t k = 0; k < (1u << spare); ++k) t.e[(value << spare) | k] = entry;
  };
  fill(0x1, 1, {kModeVertical, 1, 0});
  fill(0x3, 3, {kModeVertical, 3, 1});
  fill(0x2, 3, {kModeVertical, 3, -1});
  fill(0x1, 3, {kModeHorizontal, 3, 0});
  fill(0x1, 4, {kModePass, 4, 0});
  fill(0x3, 6, {kModeVertical, 6, 2});
  fill(0x2, 6, {kModeVertical, 6, -2});
  fill(0x3, 7, {kModeVertical, 7, 3});
  fill(0x2, 7, {kModeVertical, 7, -3});
  fill(0x1, 7, {kModeExtension, 7, 0});
  fill(0x0, 7, {kModeZeros, 7, 0});
  return t;
}

}  // namespace

namespace detail {

const FaxRunTables kFaxRunTables = buildRunTables();

const FaxModeTable kFaxModeTable = buildModeTable();

}  // namespace detail

}  // namespace zc::codec
