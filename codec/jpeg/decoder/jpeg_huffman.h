// Huffman decoding tables built from a DHT segment (ITU-T T.81 Annex C and F.2.2.3).
//
// Codes of up to eight bits resolve through a 256-entry look-ahead; longer ones walk MAXCODE from length 9
// to 16. Tables are validated when built: more than 256 codes, an over-subscribed code space, and DC
// categories above 15 are refused, so decoding never indexes past the symbol list or shifts unboundedly.
#pragma once

#include <array>
#include <cstdint>

namespace zc::jpegdec {

// Code bits the AC look-up resolves at once.
constexpr int kFastAcBits = 11;

struct HuffTable {
  uint8_t table_class = 0;  // 0 = DC, 1 = AC
  uint8_t id = 0;
  uint16_t count = 0;  // number of symbols
  std::array<uint8_t, 16> bits{};
  std::array<uint8_t, 256> values{};
  // Index 1..16 = code length; maxcode -1 marks a length without codes, index 17 ends the walk.
  std::array<int32_t, 18> maxcode{};
  std::array<int32_t, 17> mincode{};
  std::array<uint16_t, 17> valptr{};
  std::array<uint8_t, 256> look_len{};  // 0 = longer than 8 bits
  std::array<uint8_t, 256> look_sym{};
  // AC tables only: a kFastAcBits look-up that resolves a short code, and its value bits when they fit
  // too. Entry: bits 0-5 and again 16-20 the bits consumed (code and value), 6-9 value bits still to read
  // (0 when resolved; they are the last of the consumed ones), 10-13 the run, 14-15 kind, 21-31 the
  // resolved coefficient value (at most 10 value bits fit beside a code, so it fits 11 signed bits). It
  // decodes exactly what the look-ahead and EXTEND would. The count in the low six bits lets the entry
  // itself serve as a 64-bit shift count (the processor masks it); the copy keeps the bit count apart
  // from the shift, so the compiler need not put a mask between the table load and the shift.
  std::array<int32_t, 1u << kFastAcBits> fast_ac{};
};

// Kinds of fast_ac entries: coefficient (value resolved or still to read), end of block, run of 16, none
// (a longer code, or a run/size symbol that the symbol-by-symbol decoder must judge).
enum FastAcKind { kFastCoef = 0, kFastEob = 1, kFastZrl = 2, kFastNone = 3 };

inline constexpr int32_t FastAcEntry(int consumed, int pending, int run, int kind, int value) {
  return static_cast<int32_t>(static_cast<uint32_t>(value) << 21) | (consumed << 16) | (kind << 14) |
         (run << 10) | (pending << 6) | consumed;
}
inline constexpr int FastConsumed(int32_t e) {
  return (e >> 16) & 31;
}
inline constexpr int FastPending(int32_t e) {
  return (e >> 6) & 15;
}
inline constexpr int FastRun(int32_t e) {
  return (e >> 10) & 15;
}
inline constexpr int FastKind(int32_t e) {
  return (e >> 14) & 3;
}
inline constexpr int FastValue(int32_t e) {
  return e >> 21;
}
// A coefficient whose value the look-up resolved (kind kFastCoef, no value bits pending), in one test.
inline constexpr bool FastResolved(int32_t e) {
  return (e & ((3 << 14) | (15 << 6))) == 0;
}

// Builds `t` from BITS and HUFFVAL; throws 28 (more than 256 codes) or 25 (over-subscribed, DC symbol > 15).
void BuildHuffTable(HuffTable& t, uint8_t table_class, uint8_t id, const uint8_t bits[16],
                    const uint8_t* values);

}  // namespace zc::jpegdec
