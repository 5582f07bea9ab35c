// The catalogue entries, generated from the data file.
#include "param_catalogue.h"

namespace zarn::catalogue {
namespace {

#define A(k) IniKey{'A', k}
#define S(k) IniKey{'S', k}
#define L(k) IniKey{'L', k}
#define Q(k) IniKey{'Q', k}
#define V(k) IniKey{'V', k}
#define ZARN_PARAM(id, section, key, flag, prev, dflt, written, ...) \
  Entry{id, section, key, flag, prev, dflt, written, {{__VA_ARGS__}}},
constexpr Entry kEntries[] = {
#include "param_catalogue.def"
};
#undef ZARN_PARAM
#undef A
#undef S
#undef L
#undef Q
#undef V

}  // namespace

std::span<const Entry> Entries() { return kEntries; }

const Entry* Find(uint32_t id) {
  for (const Entry& e : kEntries) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

const char* SectionName(char letter) {
  switch (letter) {
    case 'A': return "ACQ. SETUP";
    case 'S': return "Setup";
    case 'L': return "DOUBLE LIGHT SOURCE";
    case 'Q': return "QV600 CONFIG";
    case 'V': return "VEKSCAN";
    default: return "";
  }
}

int LoadValue(uint32_t id) {
  switch (id) {
    case 2: return 1;
    case 115: return -1;
    case 164: return 1;
    default: return 0;
  }
}

}  // namespace zarn::catalogue
