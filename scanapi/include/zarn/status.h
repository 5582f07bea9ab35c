// The Zarn API's status codes: 0 or more is success, a negative code a failure.
//
// Every code with a text has a named constant (generated from the one status data file, in table order);
// codes the API returns without a text of their own are named below the table. The table itself,
// `ZarnStatusTexts`, holds 91 rows {code, severity, text} with the catch-all row for 0 last and a sentinel
// {0, 0, ""} behind it; the demonstration shows the same rows without -227 and 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zarn {

using ZarnStatusCode = int32_t;

inline constexpr ZarnStatusCode kOk = 0;

#define ZARN_STATUS(code, severity, name, text) inline constexpr ZarnStatusCode name = code;
#include "zarn/status_codes.def"
#undef ZARN_STATUS

// Codes the API returns that have no row of their own (their lookup gives the sentinel).
inline constexpr ZarnStatusCode kNoDeviceFound = -524;
inline constexpr ZarnStatusCode kNoIniFile = -557;
inline constexpr ZarnStatusCode kDeviceConfigFile = -558;
inline constexpr ZarnStatusCode kCallbackTableFull = -608;
inline constexpr ZarnStatusCode kQv800LibraryMissing = -643;

struct ZarnStatusTextRow {
  int32_t code;
  int32_t severity;  // 1 notice, 3 feeding failure, 5 document-level fault, 10 error
  const char* text;
};

inline constexpr size_t kStatusTextRows = 91;
inline constexpr size_t kDemoStatusRows = 89;

// The 91 rows in table order followed by the sentinel row (92 entries).
std::span<const ZarnStatusTextRow> ZarnStatusTexts();

// Index of the first row with `code`, 0..90; kStatusTextRows (the sentinel) when no row has it.
size_t ZarnStatusIndex(ZarnStatusCode code);
// The row of `code`, or the sentinel {0, 0, ""}.
const ZarnStatusTextRow& ZarnStatusLookup(ZarnStatusCode code);
// The text of `code`; "" when it has no row.
const char* ZarnStatusText(ZarnStatusCode code);

// The demonstration's table: 89 codes and their texts as two parallel arrays.
std::span<const int32_t> DemoStatusCodes();
std::span<const char* const> DemoStatusTexts();

}  // namespace zarn
