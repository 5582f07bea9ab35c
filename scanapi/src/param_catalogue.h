// The parameter catalogue as data: one entry per numeric parameter, in table order, with its device-file
// name and its API INI key chain. The tables and the INI reader and writer are built from it.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <span>

namespace zarn::catalogue {

// INI sections of the key chains.
struct IniKey {
  char section = 0;  // 'A' "ACQ. SETUP", 'S' "Setup", 'L' "DOUBLE LIGHT SOURCE", 'Q' "QV600 CONFIG", 'V' "VEKSCAN"
  const char* key = nullptr;
};

inline constexpr int kNoDefault = INT_MIN;
inline constexpr int kDefTrace = INT_MIN + 1;
inline constexpr int kDefSwitch = INT_MIN + 2;
inline constexpr int kDefMode = INT_MIN + 3;

struct Entry {
  uint32_t id;
  const char* section;
  const char* key;
  int flag;
  int previous;
  int iniDefault;
  int writtenBack;
  std::array<IniKey, 3> chain;

  int ChainLength() const {
    int n = 0;
    while (n < 3 && chain[n].key != nullptr) ++n;
    return n;
  }
};

std::span<const Entry> Entries();
// The entry of `id`, or null.
const Entry* Find(uint32_t id);
// The section name of a chain letter.
const char* SectionName(char letter);
// The value a record holds at load.
int LoadValue(uint32_t id);

}  // namespace zarn::catalogue
