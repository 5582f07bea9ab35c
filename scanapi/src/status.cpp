// The status table and the demonstration's table, both built from the one status data file.
#include "zarn/status.h"

#include <array>

namespace zarn {
namespace {

constexpr std::array<ZarnStatusTextRow, kStatusTextRows + 1> kRows = {{
#define ZARN_STATUS(code, severity, name, text) {code, severity, text},
#include "zarn/status_codes.def"
#undef ZARN_STATUS
    {0, 0, ""},
}};

// The demonstration leaves out the MICR parsing row and the catch-all row.
constexpr bool InDemoTable(int32_t code) { return code != kMicrParsingError && code != kUnknownError; }

template <class T, class Pick>
constexpr std::array<T, kDemoStatusRows> DemoColumn(Pick pick) {
  std::array<T, kDemoStatusRows> out{};
  size_t n = 0;
  for (size_t i = 0; i < kStatusTextRows; ++i) {
    if (InDemoTable(kRows[i].code)) out[n++] = pick(kRows[i]);
  }
  return out;
}

constexpr auto kDemoCodes = DemoColumn<int32_t>([](const ZarnStatusTextRow& r) { return r.code; });
constexpr auto kDemoTexts = DemoColumn<const char*>([](const ZarnStatusTextRow& r) { return r.text; });

}  // namespace

std::span<const ZarnStatusTextRow> ZarnStatusTexts() { return kRows; }

size_t ZarnStatusIndex(ZarnStatusCode code) {
  for (size_t i = 0; i < kStatusTextRows; ++i) {
    if (kRows[i].code == code) return i;
  }
  return kStatusTextRows;
}

const ZarnStatusTextRow& ZarnStatusLookup(ZarnStatusCode code) { return kRows[ZarnStatusIndex(code)]; }

const char* ZarnStatusText(ZarnStatusCode code) { return ZarnStatusLookup(code).text; }

std::span<const int32_t> DemoStatusCodes() { return kDemoCodes; }
std::span<const char* const> DemoStatusTexts() { return kDemoTexts; }

}  // namespace zarn
