// Fuzz entry for the mechanical INI loaders: byte 0 chooses the loader (the QV63x, QV9120, QV64x and KQv8x
// bindings, or the QV62x model's load with its clamps), the rest is the file text, loaded with the
// bindings' defaults and bit fields. After the QV62x load no good-pixel count may exceed its calibration
// tables and no document-end allowance may lie below what the transport keeps. The file lives in a
// scratch folder made once (and made the current folder) and removed at exit, and the profile cache is
// flushed before each load so that a rewrite within the file clock's resolution is still read. (Saving
// rewrites the file once per key, a few runs a second, so the round trip is left to the unit tests.)
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ini.h"
#include "qv6/kqv8x/kqv8x_blocks.h"
#include "qv6/later/later_blocks.h"
#include "qv6/later/mech_ini.h"
#include "qv6/qv62x/qv62x_blocks.h"
#include "qv6/qv62x/qv62x_models.h"
#include "transport/driver_interface.h"

namespace {

// Made on first use and never destroyed, so the exit handler can still name it.
const std::string& ScratchFolder() {
  static const std::string* folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    auto* path =
        new std::string(std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/mech_ini_fuzz.XXXXXX");
    if (mkdtemp(path->data()) == nullptr) std::abort();
    return path;
  }();
  return *folder;
}

void RemoveScratchFolder() {
  std::remove((ScratchFolder() + "/mech.ini").c_str());
  rmdir(ScratchFolder().c_str());
}

void LoadQv62x(const char* file) {
  using namespace qv6;
  // One model for every run: a load sets every bound field (a missing key to its default) and the clamps
  // act only on bound fields, so a run depends on its file alone. A new model a run would spend far more
  // on its image buffers than on the load.
  static ScannerQV62xInterface* transport = new ScannerQV62xInterface();
  static Qv702* model = new Qv702(*transport);
  if (model->LoadMechConfigFromIni(file) != 1) __builtin_trap();
  const BlockValues& b = model->blocks();
  for (size_t f : {size_t{later::kImFrontGoodPixels}, size_t{later::kImRearGoodPixels}}) {
    if (b.Get(kBlockImageModule, f) > static_cast<int64_t>(ScannerQV62xDeviceTemplate::kTableBytes))
      __builtin_trap();
  }
  const int64_t extra = b.Get(kBlockTransport, qv62x::kTsExtraDocSize);
  if (extra != 0 && extra < 28) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool cleanup = std::atexit(RemoveScratchFolder) == 0;
  (void)cleanup;
  if (size == 0) return 0;
  // Each key is looked up by path; a bare name in the scratch folder as the current one keeps the path
  // walk to one step.
  static const bool inFolder = chdir(ScratchFolder().c_str()) == 0;
  if (!inFolder) std::abort();
  const std::string file = "mech.ini";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 1 && std::fwrite(data + 1, 1, size - 1, f) != size - 1) std::abort();
  std::fclose(f);
  plat::WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);

  using namespace qv6;
  switch (data[0] % 5) {
    case 0: {
      BlockValues values(later::Qv63xBlockTable());
      (void)later::LoadMechIni(file.c_str(), later::Qv63xMechIniBindings(), values);
      break;
    }
    case 1: {
      BlockValues values(later::Qv63xBlockTable());
      (void)later::LoadMechIni(file.c_str(), later::Qv9120MechIniBindings(), values);
      break;
    }
    case 2: {
      BlockValues values(later::Qv64xBlockTable());
      (void)later::LoadMechIni(file.c_str(), later::Qv64xMechIniBindings(), values);
      break;
    }
    case 3: {
      BlockValues values(kqv8x::KQv8xBlockTable());
      (void)later::LoadMechIni(file.c_str(), kqv8x::KQv8xMechIniBindings(), values);
      break;
    }
    default:
      LoadQv62x(file.c_str());
      break;
  }
  return 0;
}
