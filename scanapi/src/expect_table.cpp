#include "zarn/expect_table.h"

namespace zarn {

void ExpectTable::Replace(std::vector<VEKScanExpectEntry> entries) {
  if (entries.size() > static_cast<size_t>(kMaxExpectEntries)) entries.resize(kMaxExpectEntries);
  entries_ = std::move(entries);
}

ExpectTable& VEKScanExpectTable() {
  static ExpectTable table;
  return table;
}

}  // namespace zarn
