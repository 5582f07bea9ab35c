// Run-length and mode code tables of ITU-T T.4 (sections 4.1 and 4.2), shared by the
// bilevel encoder and decoder.
#pragma once

#include <cstdint>

namespace zc::codec {

// Index 0..63: terminating codes of runs 0..63; index 63 + n: make-up code of run 64 * n
// (n = 1..40; n = 28..40 are the extended make-up codes shared by both colours).
inline constexpr int kFaxRunCodes = 104;

struct FaxCode {
  uint16_t value;  // the code's bits read as a number
  uint8_t length;  // bits
};

// White (colour 0) and black (colour 1) run codes.
const FaxCode* faxRunCodes(int colour);
// The textual form of a run code ("00110101"), for building lookup tables.
const char* faxRunCodeText(int colour, int index);

// Vertical mode codes indexed by a1 - b1 + 3 (VL3 .. VR3), T.4 table 4.
inline constexpr FaxCode kFaxVerticalCodes[7] = {
    {0x02, 7}, {0x02, 6}, {0x02, 3}, {0x01, 1}, {0x03, 3}, {0x03, 6}, {0x03, 7},
};
inline constexpr FaxCode kFaxPassCode = {0x1, 4};             // 0001
inline constexpr FaxCode kFaxHorizontalCode = {0x1, 3};       // 001
inline constexpr FaxCode kFaxEolCode = {0x001, 12};           // 000000000001
inline constexpr FaxCode kFaxUncompressedEntry = {0x0F, 10};  // 0000001111

}  // namespace zc::codec
