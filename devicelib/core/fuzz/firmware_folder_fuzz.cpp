// Fuzz entry for the firmware folder: the input's first line is the configured firmware file name, each
// further line (at most 12) a file that lies beside it. The files are made in a scratch folder, the
// selection runs over them, and the files are removed again. Whatever the names, the selection is a file
// of that folder whose name carries the version it reports, or nothing with version 0.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/firmware_file.h"
#include "firmware/firmware_name.h"

namespace {

// Made on first use and never destroyed, so the exit handler can still name it.
const std::string& ScratchFolder() {
  static const std::string* folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    auto* path = new std::string(std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                                 "/firmware_folder_fuzz.XXXXXX");
    if (mkdtemp(path->data()) == nullptr) std::abort();
    return path;
  }();
  return *folder;
}

void RemoveScratchFolder() {
  rmdir(ScratchFolder().c_str());
}

// A name a folder can hold: no separators, no NUL, not "." or "..", not empty.
bool Storable(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool cleanup = std::atexit(RemoveScratchFolder) == 0;
  (void)cleanup;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> lines;
  for (size_t at = 0; at <= input.size() && lines.size() < 13;) {
    const size_t end = std::min(input.find('\n', at), input.size());
    lines.push_back(input.substr(at, end - at));
    at = end + 1;
  }
  if (lines.empty() || !Storable(lines[0])) return 0;
  const std::string folder = ScratchFolder() + "/";

  std::vector<std::string> made;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (!Storable(lines[i])) continue;
    const std::string path = folder + std::string(lines[i]);
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fclose(f);
      made.push_back(path);
    }
  }
  uint64_t version = 1;
  const std::string chosen = qv6::FindLatestFirmwareFile(folder + std::string(lines[0]), &version);
  if (chosen.empty() != (version == 0)) __builtin_trap();
  if (!chosen.empty()) {
    // One of the files made, carrying the version reported.
    const std::string_view name = std::string_view(chosen).substr(chosen.rfind('/') + 1);
    bool listed = false;
    for (const std::string& path : made)
      listed = listed || std::string_view(path).substr(folder.size()) == name;
    uint64_t carried = 0;
    if (!listed || !qv6::MatchVersionedFirmwareName(name, &carried) || carried != version) __builtin_trap();
  }
  for (const std::string& path : made) std::remove(path.c_str());
  return 0;
}
