// Lookup tables of the bilevel line decoders: run-length codes through two 512-entry
// levels (the next 9 bits, then for codes longer than 9 bits, which all begin with four
// zeros, the 9 bits that follow those zeros), and the two-dimensional mode codes of
// ITU-T T.4 table 4 through the next 7 bits.
#pragma once

#include <cstdint>

namespace zc::codec {

enum FaxRunKind : uint8_t { kRunTerminating, kRunMakeUp, kRunLong, kRunInvalid };

struct FaxRunEntry {
  uint16_t run;    // pixels
  uint8_t length;  // code bits (the whole code, also when found in the second level)
  uint8_t kind;    // FaxRunKind
};

struct FaxRunTables {
  FaxRunEntry first[2][512];
  FaxRunEntry second[2][512];
};

enum FaxModeKind : uint8_t {
  kModePass,
  kModeHorizontal,
  kModeVertical,   // delta in FaxModeEntry::delta
  kModeExtension,  // 0000001: uncompressed-mode entry when followed by 111
  kModeZeros,      // 0000000: EOFB/EOL or garbage
};

struct FaxModeEntry {
  uint8_t kind;
  uint8_t length;
  int8_t delta;
};

namespace detail {
struct FaxModeTable {
  FaxModeEntry e[128];
};
// Built when the library loads, so the look-ups in the line loops pay no call or guard.
extern const FaxRunTables kFaxRunTables;
extern const FaxModeTable kFaxModeTable;
}  // namespace detail

inline const FaxRunTables& faxRunTables() {
  return detail::kFaxRunTables;
}
inline const FaxModeEntry* faxModeTable() {  // 128 entries
  return detail::kFaxModeTable.e;
}

}  // namespace zc::codec
