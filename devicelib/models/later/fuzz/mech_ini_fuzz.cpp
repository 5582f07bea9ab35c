// Fuzz entry for the mechanical INI loader: any file text loaded through the bindings, with their
// defaults and field clamps. The file lives in a scratch folder made once and removed at exit. (Saving
// rewrites the file once per key, a few runs a second, so the round trip is left to the unit tests.)
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qv6/later/later_blocks.h"
#include "qv6/later/mech_ini.h"

namespace {

// Made on first use and never destroyed, so the exit handler can still name it.
const std::string& ScratchFolder() {
  static const std::string* folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    auto* path = new std::string(std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                                 "/mech_ini_fuzz.XXXXXX");
    if (mkdtemp(path->data()) == nullptr) std::abort();
    return path;
  }();
  return *folder;
}

void RemoveScratchFolder() {
  std::remove((ScratchFolder() + "/mech.ini").c_str());
  rmdir(ScratchFolder().c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool cleanup = std::atexit(RemoveScratchFolder) == 0;
  (void)cleanup;
  const std::string file = ScratchFolder() + "/mech.ini";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  const auto& bindings = qv6::later::Qv63xMechIniBindings();
  qv6::BlockValues values(qv6::later::Qv63xBlockTable());
  (void)qv6::later::LoadMechIni(file.c_str(), bindings, values);
  return 0;
}
