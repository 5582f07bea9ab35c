// Huffman code tables of the compressor: canonical codes derived from BITS/HUFFVAL (ITU-T T.81 Annex C)
// and optimal tables built from symbol counts (T.81 Annex K.2).
#pragma once

#include <array>
#include <cstdint>

#include "jpeg_tables.h"

namespace zc::jpeg {

// Code and length per symbol; length 0 = the symbol has no code.
struct HuffmanCode {
  std::array<uint16_t, 256> code{};
  std::array<uint8_t, 256> length{};
  std::array<uint32_t, 256> packed{};  // code << 8 | length, one load per symbol in the block coder
};

// Canonical code assignment. Returns false when BITS count more than 256 codes or the lengths do not
// fit (over-subscribed), which the caller reports as error 28.
bool DeriveHuffmanCode(const HuffmanSpec& spec, HuffmanCode* out);

// Symbol counts of one statistics pass; entry 256 is reserved (T.81 K.2) and set by the builder.
using SymbolCounts = std::array<uint32_t, 257>;

// Builds the optimal table for the counts: merges the two least frequent entries repeatedly (ties go to
// the larger symbol value), limits code lengths to 16 (K.2 adjustment), drops the reserved symbol and
// lists the symbols by code length, then by value.
HuffmanSpec BuildOptimalHuffmanSpec(const SymbolCounts& counts);

}  // namespace zc::jpeg
