// Huffman decoding tables built from a DHT segment (ITU-T T.81 Annex C and F.2.2.3).
//
// Codes of up to eight bits resolve through a 256-entry look-ahead; longer ones walk MAXCODE from length 9
// to 16. Tables are validated when built: more than 256 codes, an over-subscribed code space, and DC
// categories above 15 are refused, so decoding never indexes past the symbol list or shifts unboundedly.
#pragma once

#include <array>
#include <cstdint>

namespace zc::jpegdec {

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
  // AC tables only: a 9-bit look-up that resolves a short code together with its value bits. Entry:
  // bits 0-4 bits consumed, 5-7 kind, 8-15 the run/size symbol, 16-31 the coefficient value. Kinds:
  // coefficient (code and value resolved), run of 16, end of block, symbol (code of up to 8 bits
  // resolved, value bits still to read), none (longer code). It decodes exactly what the look-ahead and
  // EXTEND would.
  std::array<int32_t, 512> fast_ac{};
};

enum FastAcKind { kFastNone = 0, kFastCoef = 1, kFastZrl = 2, kFastEob = 3, kFastSymbol = 4 };

// Builds `t` from BITS and HUFFVAL; throws 28 (more than 256 codes) or 25 (over-subscribed, DC symbol > 15).
void BuildHuffTable(HuffTable& t, uint8_t table_class, uint8_t id, const uint8_t bits[16],
                    const uint8_t* values);

}  // namespace zc::jpegdec
