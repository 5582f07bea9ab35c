// Binding the QV800 device library and its ASPI layer at run time, and the forwarders to their entry points.
#include <cstdio>
#include <string>

#include "platform/dynlib.h"
#include "platform/paths.h"
#include "zarn/error_maps.h"
#include "zarn/qv800.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr char kAspiName[] = "WNASPI32.DLL";
constexpr char kDeviceName[] = "QV8DLL.DLL";

struct Qv8Exports {
#define ZARN_QV8_MEMBER(name) decltype(&::name) name = nullptr;
  ZARN_QV8_EXPORTS(ZARN_QV8_MEMBER)
#undef ZARN_QV8_MEMBER
};

struct Binding {
  plat::ModuleHandle aspi = nullptr;
  plat::ModuleHandle device = nullptr;
  decltype(&::GetASPI32SupportInfo) supportInfo = nullptr;
  decltype(&::SendASPI32Command) sendCommand = nullptr;
  Qv8Exports exports;
};
Binding g_bind;

bool Opens(const std::string& name) {
  std::FILE* f = plat::OpenFile(name, "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

std::string InFolder(uint32_t (*query)(char*, uint32_t), const char* name) {
  char buf[256] = {};
  const uint32_t n = query(buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return {};
  std::string path = buf;
  if (path.back() != '\\') path += '\\';
  return path + name;
}

// The first of the candidate, the Windows folder and the System folder that holds the file; "" for none.
// The current folder is named explicitly, since a bare name is not looked for there when it is loaded.
std::string Probe(const std::string& candidate, const char* name) {
  if (Opens(candidate)) return candidate.find_first_of("\\/") == std::string::npos ? ".\\" + candidate : candidate;
  for (const std::string& path : {InFolder(plat::GetWindowsDirectoryA, name), InFolder(plat::GetSystemDirectoryA, name)}) {
    if (!path.empty() && Opens(path)) return path;
  }
  return {};
}

void NotFound(const char* name) {
  if (ApiTraceLevel() != 0) TraceAt(1, "Cound Not Find %s", name);
}

}  // namespace

int funcLoadQV8DLL(int /*type*/, const char* dllFolder) {
  if (g_bind.aspi != nullptr && g_bind.device != nullptr) return 1;
  if (g_bind.aspi == nullptr) {
    const std::string path = Probe(kAspiName, kAspiName);
    if (path.empty()) {
      NotFound(kAspiName);
      return kNoAspiManager;
    }
    g_bind.aspi = plat::LoadLibraryA(path.c_str());
    if (g_bind.aspi == nullptr) return kNoAspiManager;
    g_bind.supportInfo =
        reinterpret_cast<decltype(&::GetASPI32SupportInfo)>(plat::GetProcAddress(g_bind.aspi, "GetASPI32SupportInfo"));
    g_bind.sendCommand =
        reinterpret_cast<decltype(&::SendASPI32Command)>(plat::GetProcAddress(g_bind.aspi, "SendASPI32Command"));
    if (g_bind.supportInfo == nullptr || g_bind.sendCommand == nullptr) {
      funcUnLoadQV8DLL(2);
      return kNoAspiManager;
    }
  }
  if (g_bind.device == nullptr) {
    std::string candidate = kDeviceName;
    const std::string folder = dllFolder != nullptr ? dllFolder : "";
    if (!folder.empty()) candidate = folder + (folder.back() == '\\' ? "" : "\\") + kDeviceName;
    const std::string path = Probe(candidate, kDeviceName);
    if (path.empty()) {
      NotFound(kDeviceName);
      funcUnLoadQV8DLL(2);
      return kQv800LibraryMissing;
    }
    g_bind.device = plat::LoadLibraryA(path.c_str());
    g_bind.exports = {};
    // A failed load shows up as a missing first entry point.
    Qv8Exports resolved;
    bool complete = true;
#define ZARN_QV8_RESOLVE(name)                                                                          \
  if (complete) {                                                                                       \
    void* address = plat::GetProcAddress(g_bind.device, #name);                                         \
    if (address == nullptr) {                                                                           \
      TraceAt(1, "%s lacks %s", kDeviceName, #name);                                                     \
      complete = false;                                                                                 \
    } else {                                                                                            \
      resolved.name = reinterpret_cast<decltype(resolved.name)>(address);                               \
    }                                                                                                   \
  }
    ZARN_QV8_EXPORTS(ZARN_QV8_RESOLVE)
#undef ZARN_QV8_RESOLVE
    if (!complete) {
      funcUnLoadQV8DLL(3);
      return kQv800LibraryMissing;
    }
    g_bind.exports = resolved;
  }
  return 1;
}

int funcUnLoadQV8DLL(int flags) {
  if (g_bind.aspi != nullptr && (flags & 2) != 0) {
    g_bind.supportInfo = nullptr;
    g_bind.sendCommand = nullptr;
    plat::FreeLibrary(g_bind.aspi);
    g_bind.aspi = nullptr;
  }
  if (g_bind.device != nullptr && (flags & 1) != 0) {
    g_bind.exports = {};
    plat::FreeLibrary(g_bind.device);
    g_bind.device = nullptr;
  }
  return 1;
}

bool Qv8DeviceBound() { return g_bind.device != nullptr; }
bool Qv8AspiBound() { return g_bind.aspi != nullptr; }

int Qv8Status(int32_t result) {
  if (result == 0) return 0;
  if (result == kQv8NotBound) return kQv800NotInitialised;
  return funcConvertStatus(result);
}

namespace qv8 {

#define ZARN_QV8_FORWARD(name, ...)                          \
  const auto entry = g_bind.exports.name;                    \
  return entry != nullptr ? entry(__VA_ARGS__) : kQv8NotBound;

uint32_t GetASPI32SupportInfo() { return g_bind.supportInfo != nullptr ? g_bind.supportInfo() & 0xFFFF : 0; }
int32_t QVScsiIdGetInfo(uint8_t* inquiry) { ZARN_QV8_FORWARD(QVScsiIdGetInfo, inquiry) }
int32_t QVInit(const char* tmpFile, const char* cfgFile, uint16_t target, uint16_t adapter) {
  ZARN_QV8_FORWARD(QVInit, tmpFile, cfgFile, target, adapter)
}
int32_t QVSetConfig(uint16_t value) { ZARN_QV8_FORWARD(QVSetConfig, value) }
int32_t QVUpdateFirmw(const char* file) { ZARN_QV8_FORWARD(QVUpdateFirmw, file) }
int32_t QVReadCounters(int32_t* first, int32_t* second) { ZARN_QV8_FORWARD(QVReadCounters, first, second) }
int32_t QVReadSN(char* serial) { ZARN_QV8_FORWARD(QVReadSN, serial) }
int32_t QVOpenScan() { ZARN_QV8_FORWARD(QVOpenScan) }
int32_t QVCloseScan() { ZARN_QV8_FORWARD(QVCloseScan) }
int32_t QVScanDoc(const char* frontFile, const char* rearFile, char* codeLine, int32_t codeLineSize, int32_t flags) {
  ZARN_QV8_FORWARD(QVScanDoc, frontFile, rearFile, codeLine, codeLineSize, flags)
}
int32_t QVScanDocToMem(void* front, void* rear, int32_t size, char* codeLine, int32_t codeLineSize, int32_t flags) {
  ZARN_QV8_FORWARD(QVScanDocToMem, front, rear, size, codeLine, codeLineSize, flags)
}
int32_t QVGetStatus(uint32_t* status, uint32_t* error) { ZARN_QV8_FORWARD(QVGetStatus, status, error) }
int32_t QVClearErrors() { ZARN_QV8_FORWARD(QVClearErrors) }
int32_t QVEject(uint16_t zero, uint16_t pocket) { ZARN_QV8_FORWARD(QVEject, zero, pocket) }
int32_t QVUpdPrtString(uint16_t value, const uint16_t* text) { ZARN_QV8_FORWARD(QVUpdPrtString, value, text) }
int32_t QVStringIJ(uint16_t value, const char* text, uint16_t length, uint8_t flag) {
  ZARN_QV8_FORWARD(QVStringIJ, value, text, length, flag)
}
int32_t QVUpdPrtBitmap(uint16_t value, const uint8_t* bitmap) { ZARN_QV8_FORWARD(QVUpdPrtBitmap, value, bitmap) }
int32_t QVSetDestinationPocket(int32_t pocket) { ZARN_QV8_FORWARD(QVSetDestinationPocket, pocket) }
int32_t QVDwlPrinterFont(const uint8_t* font) { ZARN_QV8_FORWARD(QVDwlPrinterFont, font) }
int32_t QVClearPrintArea(int32_t a, int32_t b) { ZARN_QV8_FORWARD(QVClearPrintArea, a, b) }
int32_t QVGetParam(int32_t id) { ZARN_QV8_FORWARD(QVGetParam, id) }

#undef ZARN_QV8_FORWARD

}  // namespace qv8

Qv800State& Qv8State() {
  static Qv800State state;
  return state;
}

void ResetQv800ForTests() {
  funcUnLoadQV8DLL(3);
  Qv8State() = Qv800State{};
}

}  // namespace zarn
