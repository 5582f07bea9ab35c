// Fuzz entry point for the API INI reader: any bytes as "zarnscan.ini" read without a crash, and every value
// the reader clamps ends inside its range.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/paths.h"
#include "zarn/api_state.h"
#include "zarn/expect_table.h"
#include "zarn/ini_config.h"
#include "zarn/params.h"
#include "zarn/trace.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// One scratch folder per process, removed at exit (the string is never destroyed, so the exit handler can
// still use it).
const std::string& Folder() {
  static const std::string* folder = [] {
    char pattern[] = "/tmp/zarn_ini_fuzz.XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) std::abort();
    auto* path = new std::string(made);
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return path;
  }();
  return *folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;  // API INI files are small; keep the work per input bounded
  plat::SetFolder(plat::Folder::kWindows, Folder());
  {
    std::ofstream out(Folder() + "/zarnscan.ini", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  zarn::ResetParamsForTests();
  zarn::ResetApiState();
  zarn::ResetTraceForTests();
  zarn::SetApiTraceLevel(0);
  zarn::Api().scannerFamily = zarn::kFamilyQv600;
  // Values stored before the start reach the device file: keep it in the scratch folder.
  zarn::Api().qv8TmpFile = Folder() + "/QV8CFG.TMP";
  const int result = zarn::funcQV800GetIniFile("zarnscan.ini", nullptr, nullptr);
  Check(result == 1 || result == 2);

  const int quality = zarn::ZARNGetParam(110);
  Check(quality >= 5 && quality <= 95);
  const int rear = zarn::ZARNGetParam(200);
  Check(rear == 0 || (rear >= 200 && rear <= 900));
  const int resolution = zarn::ZARNGetParam(6);
  Check(resolution >= 0 && resolution <= 4);
  for (int id : {11, 12}) {
    const int threshold = zarn::ZARNGetParam(id);
    Check(threshold >= 0 && threshold <= 15);
  }
  Check(zarn::Qv630Mode() <= 100);
  Check(zarn::ZARNGetParam(92) == 4);

  const zarn::ExpectTable& table = zarn::VEKScanExpectTable();
  Check(table.Count() >= 0 && table.Count() <= zarn::kMaxExpectEntries);
  for (const zarn::VEKScanExpectEntry& e : table.Entries()) {
    Check(std::memchr(e.Routing, 0, sizeof e.Routing) != nullptr);
    Check(std::memchr(e.Accout, 0, sizeof e.Accout) != nullptr);
    Check(e.Threshold >= 1 && e.Threshold <= 3);
    Check(e.Min >= 0 && e.Min <= 255);
    if (e.Threshold == 1) {
      Check(e.Contrast >= 200 && e.Contrast <= 1024);
    } else {
      Check(e.Contrast >= 2 && e.Contrast <= 13);
    }
  }
  for (const zarn::ZarnStringParamRecord& r : zarn::ZarnStringParamTable()) {
    Check(std::memchr(r.value, 0, sizeof r.value) != nullptr);
  }
  return 0;
}
