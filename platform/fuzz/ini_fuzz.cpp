// Fuzz entry point for the INI reader and editor: any bytes parse, serialise back unchanged, answer reads,
// and survive edits that re-parse to the edited values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/ini.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;  // profiles are small; keep the work per input bounded
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  plat::IniDocument doc = plat::IniDocument::Parse(text);
  Check(doc.Serialize() == text);

  // Names taken from the input itself, so reads and edits hit real sections and keys.
  const std::vector<std::string> sections = doc.SectionNames();
  for (const std::string& section : sections) {
    for (const std::string& key : doc.KeyNames(section)) {
      const auto value = doc.Get(section, key);
      Check(value.has_value());
      (void)plat::ParseProfileInt(*value);
    }
    (void)doc.SectionLines(section);
  }
  const std::string section = sections.empty() ? std::string("S") : sections.front();
  doc.Set(section, "FuzzKey", "value 1");
  doc.Set("Fuzz Section", "K", "v");
  plat::IniDocument again = plat::IniDocument::Parse(doc.Serialize());
  Check(again.Get("Fuzz Section", "K") == std::optional<std::string>("v"));
  again.DeleteSection(section);
  again.DeleteKey("Fuzz Section", "K");
  (void)again.Serialize();
  return 0;
}
