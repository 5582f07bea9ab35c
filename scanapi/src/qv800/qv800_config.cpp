// The QV800 configuration operations that also serve the QV600 line: clearing the print, the ink-jet font,
// the sorter rule and the firmware download.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>
#include <vector>

#include "imaging/image_files.h"
#include "platform/paths.h"
#include "zarn/api_state.h"
#include "zarn/error_maps.h"
#include "zarn/params.h"
#include "zarn/qv600_services.h"
#include "zarn/qv800.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr char kFontName[] = "QV600_IJAsciiFont.bin";

bool Initialised() { return Api().zarnInitialised; }

bool EndsWithBin(const std::string& name) {
  return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".bin") == 0;
}

}  // namespace

int funcQV800ClearPrint(int a, int b) {
  if (!Initialised()) return kZarnNotInitialised;
  if (ApiTraceLevel() != 0) TraceAt(1, "funcQV800ClearPrint(%d,%d)", a, b);
  if (IsQv600Line(Api().scannerFamily)) return funcQV600PrintString("", a, 0);
  const int32_t r = qv8::QVClearPrintArea(a, b);
  return r == kQv8NotBound ? kQv800NotInitialised : r;
}

int funcQV800SetLoadFont(int a, int b, const char* fontFile) {
  if (!Initialised()) return kZarnNotInitialised;
  if (ApiTraceLevel() != 0) TraceAt(1, "funcQV800SetLoadFont(%d,%d,%s)", a, b, fontFile != nullptr ? fontFile : "");
  const int family = Api().scannerFamily;
  if (IsQv600Line(family) || family == 220 || Api().scannerModel == 440) {
    char windows[256] = {};
    const uint32_t n = plat::GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows) return kOpenFontError;
    const std::string target = std::string(windows) + "\\" + kFontName;
    if (std::FILE* f = plat::OpenFile(target, "rb")) {
      std::fclose(f);
      return 0;
    }
    const std::string source = fontFile != nullptr ? fontFile : "";
    const std::string from = EndsWithBin(source) ? source : source + "\\" + kFontName;
    const int r = zc::imaging::funcCopyFile(from.c_str(), target.c_str());
    return r < 0 ? r : 0;
  }
  if (fontFile != nullptr) {
    if (int r = funcTableSetParamString(83, fontFile); r != 0) return r;
    if (int r = funcTableSetParamString(113, fontFile); r != 0) return r;
    if (int32_t r = qv8::QVSetConfig(1); r != 0) return Qv8Status(r);
  }
  return 1;
}

int funcQV800LoadPrinterFont(const char* fileName) {
  const int type = funcGetScannerTypeCode();
  if (type == 200 || type == 220) {
    funcQV800SetLoadFont(0, 0, fileName);
    return 1;
  }
  if (type == 300 || type == 314) return 1;
  Qv800State& st = Qv8State();
  st.fontLoaded = false;
  if (fileName == nullptr || fileName[0] == '\0') return 1;
  std::FILE* f = plat::OpenFile(fileName, "rb");
  if (f == nullptr) return kOpenFontError;
  std::fseek(f, 0, SEEK_END);
  const long length = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  std::vector<uint8_t> font;
  try {
    font.assign(static_cast<size_t>(length < 0 ? 0 : length) + 32, 0);
  } catch (const std::bad_alloc&) {
    std::fclose(f);
    return kReadFontError;
  }
  const size_t got = std::fread(font.data(), 1, static_cast<size_t>(length < 0 ? 0 : length), f);
  std::fclose(f);
  if (length < 0 || got != static_cast<size_t>(length)) return kReadFontError;
  const int32_t r = qv8::QVDwlPrinterFont(font.data());
  // Only a font the device took counts as loaded.
  if (r != 0) return Qv8Status(r);
  st.fontLoaded = true;
  return 0;
}

int funcQV800SetSorter(int algorithm, const char* string1, const char* string2) {
  if (!Initialised()) return kZarnNotInitialised;
  if (ApiTraceLevel() != 0) {
    TraceAt(1, "funcQV800SetSorter(%d,%s,%s)", algorithm, string1 != nullptr ? string1 : "",
            string2 != nullptr ? string2 : "");
  }
  if (IsQv600Line(Api().scannerFamily)) return 0;
  if (algorithm < 0 || algorithm > 9) return kBadParameter;
  int r = ZARNSetParam(39, algorithm);
  if (r < 0) return r;
  if (string1 != nullptr) {
    r = funcTableSetParamString(40, string1);
    if (r < 0) return r;
  }
  if (string2 != nullptr) r = funcTableSetParamString(41, string2);
  return r;
}

int funcDownLoadFirmWare(const char* file) {
  if (ApiTraceLevel() != 0) TraceAt(1, "funcDownLoadFirmWare(%s)", file != nullptr ? file : "");
  const int family = Api().scannerFamily;
  if (IsQv600Line(family)) {
    const int r = funcQV600UpdateFirmware(file);
    return r < 0 ? r : 1;
  }
  if (family == 400 || family == 300 || family == 314) {
    const int32_t r = qv8::QVUpdateFirmw(file);
    if (r == kQv8NotBound) return kQv800NotInitialised;
    return r == 0 ? funcConvertStatus(0) : 1;
  }
  return 0;
}

}  // namespace zarn
