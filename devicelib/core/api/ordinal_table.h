// The export table as data: each export's ordinal (1 to 38, 40 and 41; none at 39) and name. Callers
// built against ordinals rely on this order, which ELF cannot express, so it is kept here and tested.
#pragma once

#include <span>

namespace qv6 {

struct ExportEntry {
  int ordinal;
  const char* name;
  void (*address)();  // the export, as a generic function pointer
};

std::span<const ExportEntry> ExportTable();

}  // namespace qv6
