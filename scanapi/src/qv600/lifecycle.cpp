// Start and shut-down of the Zarn API.
#include "zarn/lifecycle.h"
#include "zarn/ferlo.h"
#include "zarn/statistics.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "zarn/analysis.h"
#include "zarn/api_state.h"
#include "zarn/backend_hooks.h"
#include "zarn/error_maps.h"
#include "zarn/ini_config.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/qv600_services.h"
#include "zarn/qv800.h"
#include "zarn/scanner_info.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {

// The default line is the QV800 back-end over its outside library.
int Qv800Line::Load(int kind, const char* dllPath) { return funcLoadQV8DLL(kind, dllPath); }
int Qv800Line::GetScsiInfo(int adapter, int target) {
  return funcGetSCSIInfo(static_cast<uint8_t>(adapter), static_cast<uint8_t>(target));
}
int Qv800Line::CloseScan() {
  Qv800State& st = Qv8State();
  if (!st.scanOpen) return 0;
  st.scanOpen = false;
  const int32_t r = qv8::QVCloseScan();
  return r == kQv8NotBound ? 0 : r;
}
int Qv800Line::Unload(int which) { return funcUnLoadQV8DLL(which); }
int ScannerStatistics::Init(int) { return 0; }
int ScannerStatistics::Save(int) { return 0; }
void ScannerStatistics::Error(int) {}
void ScannerStatistics::Image(int) {}
int ScannerManager::Init() { return 0; }
void ScannerManager::Exit() {}

namespace {

constexpr size_t kPathMax = 255;

Qv800Line g_qv800Unbound;
std::atomic<Qv800Line*> g_qv800{&g_qv800Unbound};
// Null: the statistics file service.
std::atomic<ScannerStatistics*> g_statistics{nullptr};
// Null: the scanner-manager client.
std::atomic<ScannerManager*> g_manager{nullptr};
std::atomic<InfoBoxHook> g_infoBox{nullptr};
std::atomic<MessageBeepHook> g_beep{nullptr};
bool g_zarnFlag = false;
ScsiIdentity g_foundScsi;
std::string g_dllPath;

std::string StringParam(int id) {
  const char* p = funcTableGetParamString(id);
  return p != nullptr ? p : "";
}

bool MethodIsKr() { return StringParam(159).rfind("KR", 0) == 0; }

bool Opens(const std::string& candidate) {
  if (candidate.empty() || candidate.size() > kPathMax) return false;
  std::FILE* f = plat::OpenFile(candidate, "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

// The API INI file: the given path, then "zarnscan.ini" in the Windows folder, the current folder, bare.
bool FindIniFile(std::string& path) {
  std::string windows;
  char buf[4096] = {};
  const uint32_t n = plat::GetWindowsDirectoryA(buf, sizeof buf);
  if (n > 0 && n < sizeof buf) {
    windows = buf;
    if (windows.back() != '\\') windows += '\\';
    windows += "zarnscan.ini";
  }
  for (const std::string& candidate : {path, windows, std::string(".\\zarnscan.ini"), std::string("zarnscan.ini")}) {
    if (Opens(candidate)) {
      path = candidate;
      return true;
    }
  }
  return false;
}

// Identifies the connected scanner: the type (up to 5 tries), then the serial-number read that applies the
// model's settings and sets the type code. Not negative on success.
int Identify(int* model, int* family) {
  int r = 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    r = QV600GetScannerType(model, family);
    if (r >= 0) break;
    plat::Sleep(1);
  }
  if (r < 0) return r;
  char serial[kIdentityBlockSize] = {};
  int documents = 0, minutes = 0;
  const int typeCode = QV600GetScannerSerialNumber(serial, sizeof serial, &documents, &minutes);
  return typeCode < 0 ? typeCode : r;
}

int Reconnect(const ApiState& api) {
  funcQV600Exit();
  return funcQV600Init(api.zarnIniPath.c_str(), api.zarnCfgPath.c_str());
}

// The MICR font of the API INI file when parameter 2 is unset: 1 (E13B) or another value.
int IniMicrFont(const char* ini) {
  int v = plat::GetPrivateProfileIntA("ACQ. SETUP", "MICR: font", 65535, ini);
  if (v == 65535) v = plat::GetPrivateProfileIntA("ACQ. SETUP", "MICR: Font", 65535, ini);
  if (v == 65535) v = plat::GetPrivateProfileIntA("Setup", "MICR: Font", 1, ini);
  return v;
}

struct Qv600Start {
  int connection;      // the last connection result
  int identification;  // negative: identification failed and the connection is closed
};

// Connects, identifies the scanner and applies the MICR-method rules, reconnecting when the method
// changes. The fallback start switches to "KWL" without reading the INI font and stops at a failed
// reconnection, so it never reports success without a connection.
Qv600Start StartQv600Line(ApiState& api, bool fallback) {
  Qv600Start start{funcQV600Init(api.zarnIniPath.c_str(), api.zarnCfgPath.c_str()), 0};
  if (start.connection < 0) return start;
  int model = 0, family = 0;
  start.identification = Identify(&model, &family);
  if (start.identification < 0) {
    funcQV600Exit();
    return start;
  }
  if (MethodIsKr() && (model == 200 || model == 205)) {
    funcTableSetParamString(159, "KWL");
    start.connection = Reconnect(api);
    if (fallback && start.connection < 0) return start;
  }
  if (MethodIsKr() && funcTableGetParam(2) == 0) {
    if (!fallback && IniMicrFont(api.zarnIniPath.c_str()) == 1) {
      ZARNSetParam(2, 1);
    } else {
      funcTableSetParamString(159, "KWL");
      start.connection = Reconnect(api);
    }
  }
  return start;
}

// Loads the parameters, checks the scanner's status and starts the services; 1 or a failure.
int FinishQv600Start(ApiState& api, ScsiIds& ids) {
  int r = funcQV800GetIniFile(api.zarnIniPath.c_str(), api.zarnCfgPath.c_str(), &ids);
  if (r < 0) return r;
  TraceAt(2, "After funcQV800GetIniFile");
  r = ZarnStatus();
  if (r < 0) {
    api.scannerFamily = kScannerMissing;
    return r;
  }
  if (funcTableGetParam(134) != 0) {
    r = Statistics().Init(api.scannerFamily);
    if (r < 0) return r;
  }
  r = Manager().Init();
  TraceAt(2, "FerloInit => %d", r);
  api.zarnInitialised = true;
  return 1;
}

class Qv600Hooks final : public BackendHooks {
 public:
  int RewriteQv600DriverFile() override { return funcKWLWriteIniFileQV600(Api().qv8TmpFile.c_str()); }
  int Qv600SetMicrConfig(int id, int value) override { return funcQV600SetMicrConfig(nullptr, id, value); }
  int Qv600Disable() override { return funcQV600Disable(); }
  void Qv600Restart() override { Reconnect(Api()); }
  int Qv600StatusCheck() override { return funcQV600StatusCheck(); }
  int Qv800Init(const char* tmpFile, const char* cfgFile, int target, int adapter) override {
    const int32_t r =
        qv8::QVInit(tmpFile, cfgFile, static_cast<uint16_t>(target), static_cast<uint16_t>(adapter));
    return r == kQv8NotBound ? kQv800NotInitialised : r;
  }
  int Qv800ClearErrors() override {
    const int32_t r = qv8::QVClearErrors();
    return r == kQv8NotBound ? kQv800NotInitialised : r;
  }
  int Qv800SetConfig(int value) override {
    const int32_t r = qv8::QVSetConfig(static_cast<uint16_t>(value));
    return r == kQv8NotBound ? kQv800NotInitialised : r;
  }
  int Qv800GetScsiInfo(uint8_t* adapter, uint8_t* target) override {
    return funcGetSCSIInfo(adapter != nullptr ? *adapter : 0, target != nullptr ? *target : 0);
  }
  // The QV600 line keeps its print set-up out of the INI reader's closing call.
  int Qv800SetPrint(int kind, int value, const char* text) override {
    if (IsQv600Line(Api().scannerFamily)) return kQv800NotInitialised;
    return zarn::Qv800SetPrint(kind, value, text, nullptr, nullptr);
  }
};
Qv600Hooks g_qv600Hooks;

}  // namespace

void InstallQv800Line(Qv800Line* line) { g_qv800.store(line != nullptr ? line : &g_qv800Unbound); }
void InstallScannerStatistics(ScannerStatistics* s) { g_statistics.store(s); }
void InstallScannerManager(ScannerManager* m) { g_manager.store(m); }
Qv800Line& Qv800() { return *g_qv800.load(); }
ScannerStatistics& Statistics() {
  ScannerStatistics* s = g_statistics.load();
  return s != nullptr ? *s : StatisticsService();
}
ScannerManager& Manager() {
  ScannerManager* m = g_manager.load();
  return m != nullptr ? *m : FerloService();
}
void InstallQv600Hooks() { InstallBackendHooks(&g_qv600Hooks); }

void SetInfoBoxHook(InfoBoxHook hook) { g_infoBox.store(hook); }
void ShowInfoBox(const char* caption, const char* text) {
  if (InfoBoxHook hook = g_infoBox.load()) hook(caption, text);
}
void SetMessageBeepHook(MessageBeepHook hook) { g_beep.store(hook); }
void ApiMessageBeep(uint32_t type) {
  if (MessageBeepHook hook = g_beep.load()) hook(type);
}

int funcReadScannerConfig(const char* iniPath, const char* cfgPath, int* family, int* adapter, int* target) {
  ApiState& api = Api();
  if (iniPath == nullptr) {
    api.readIniPath = StringParam(135);
  } else if (std::strlen(iniPath) >= 256) {
    api.readIniPath.assign(iniPath, kPathMax);
  } else if (iniPath[0] != '\0') {
    api.readIniPath = iniPath;
  }
  if (cfgPath != nullptr && cfgPath[0] != '\0' && std::strlen(cfgPath) + 11 < 256) {
    std::string dir = cfgPath;
    if (dir.back() != '\\') dir += '\\';
    api.qv8TmpFile = dir + "qv8cfg.tmp";
    api.qv8CfgFile = dir + "qv8cfg.cfg";
  }
  const int adapterId = plat::GetPrivateProfileIntA("SCSI", "Adapter ID", 0, iniPath);
  const int targetId = plat::GetPrivateProfileIntA("SCSI", "Target ID", 2, iniPath);
  const int adapters = plat::GetPrivateProfileIntA("SCSI", "Adapters", 4, iniPath);
  int f = std::atoi(StringParam(158).c_str());
  if (f != kFamilyQv600 && f != kFamilyQv800) f = plat::GetPrivateProfileIntA("SCANNER", "Type", 400, iniPath);
  if (family != nullptr) *family = f;
  ZARNSetParam(101, adapters);
  ZARNSetParam(103, adapterId);
  ZARNSetParam(102, targetId);
  if (adapter != nullptr) *adapter = adapterId & 0xFF;
  if (target != nullptr) *target = targetId & 0xFF;
  return adapters;
}

int funcReadScannerConfigDefault() {
  int family = 0, adapter = 0, target = 0;
  return funcReadScannerConfig(nullptr, nullptr, &family, &adapter, &target);
}

int funcFindSCSIScanner(int, uint8_t* adapter, uint8_t* target) {
  ApiState& api = Api();
  api.scannerFamily = kScannerMissing;
  const int adapters = funcTableGetParam(101);
  uint8_t a = adapter != nullptr ? *adapter : 0;
  uint8_t t = target != nullptr ? *target : 0;
  if (t < 8 && a < adapters) api.scannerFamily = Qv800().GetScsiInfo(a, t);
  // The bus walk is kept for a family of exactly -1, which the probes above never give.
  if (api.scannerFamily == -1) {
    for (int next = 0; next < adapters && next < 256; ++next) {
      for (int probe = 0; probe < 8; ++probe) {
        a = static_cast<uint8_t>(next);
        t = static_cast<uint8_t>(probe);
        api.scannerFamily = Qv800().GetScsiInfo(a, t);
      }
      if (api.scannerFamily != -1) break;
    }
  }
  if (api.scannerFamily < 0) return kScannerMissing;
  uint8_t inquiry[kQv8InquirySize + 8] = {};
  inquiry[0] = a;
  inquiry[1] = t;
  if (const int32_t r = qv8::QVScsiIdGetInfo(inquiry); r != 0) {
    return r == kQv8NotBound ? kQv800NotInitialised : funcConvertStatus(r);
  }
  if (adapter != nullptr) *adapter = a;
  if (target != nullptr) *target = t;
  ScsiIdentity& found = g_foundScsi;
  found = ScsiIdentity{};
  found.family = static_cast<int16_t>(api.scannerFamily);
  found.adapter = a;
  found.target = t;
  std::memcpy(found.vendor, inquiry + kQv8VendorOffset, sizeof found.vendor);
  std::memcpy(found.product, inquiry + kQv8ProductOffset, sizeof found.product);
  std::memcpy(found.revision, inquiry + kQv8ReleaseOffset, sizeof found.revision);
  return api.scannerFamily;
}

const ScsiIdentity& FoundScsiScanner() { return g_foundScsi; }

int ZARNInit() {
  TraceAt(1, "ZARNInit Version %d", kApiVersion);
  ApiState& api = Api();
  if (api.zarnInitialised) return kAlreadyInitialised;
  // The parameter code reaches the QV600 back-end through its hooks from the first INI load on.
  InstallQv600Hooks();
  int adapter = 0, target = 0;
  api.zarnIniPath = StringParam(135);
  api.zarnCfgPath = StringParam(136);
  g_dllPath = StringParam(137);
  if (api.zarnIniPath != "NOINI" && !FindIniFile(api.zarnIniPath)) return kNoIniFile;
  funcTableSetParamString(135, api.zarnIniPath.c_str());
  TraceAt(2, "ini %s", api.zarnIniPath.c_str());
  TraceAt(2, "Cfg %s", api.zarnCfgPath.c_str());
  TraceAt(2, "DLL %s", g_dllPath.c_str());
  const int adapters =
      funcReadScannerConfig(api.zarnIniPath.c_str(), api.zarnCfgPath.c_str(), &api.scannerFamily, &adapter, &target);
  if (adapters < 0) return adapters;
  TraceAt(2, "iNumAdapters %d, iScannerType %d", adapters, api.scannerFamily);
  ScsiIds ids;

  if (IsQv600Line(api.scannerFamily)) {
    const Qv600Start start = StartQv600Line(api, false);
    if (start.identification < 0) return start.identification;
    TraceAt(2, "After funcQV600Init");
    if (start.connection >= 0) return FinishQv600Start(api, ids);
  }

  api.scannerFamily = kScannerMissing;
  TraceAt(1, "Before funcLoadQV8DLL");
  g_dllPath = StringParam(137);
  const int loaded = Qv800().Load(kFamilyQv800, g_dllPath.c_str());
  TraceAt(2, "After funcLoadQV8DLL");
  if (loaded >= 0) {
    api.scannerFamily = Qv800().GetScsiInfo(adapter, target);
    TraceAt(2, "After funcGetSCSIInfo %d", api.scannerFamily);
    if (api.scannerFamily <= 0) {
      TraceAt(2, "UnknownScanner Type");
      bool searching = true;
      for (int a = 0; a < adapters && searching; ++a) {
        for (int t = 0; t < 8 && searching; ++t) {
          const int f = Qv800().GetScsiInfo(a, t);
          api.scannerFamily = f;
          TraceAt(2, "funcGetSCSIInfo(%d,%d) => %d", a, t, f);
          if (f == kFamilyQv800 || f == kFamilyQv800b || f == kFamilyQv800c || f == 3 || f == 2) {
            adapter = a;
            target = t;
            searching = f == 3 || f == 2;
          }
        }
      }
    }
    TraceAt(2, "Before funcZARNSetAdapterTarget");
    funcZARNSetAdapterTarget(api.zarnIniPath.c_str(), adapter, target);
    api.scannerFamily = Qv800().GetScsiInfo(adapter, target);
    TraceAt(2, "After funcGetSCSIInfo");
  }
  TraceAt(1, "Mid iScannerType %d", api.scannerFamily);

  if (api.scannerFamily < 0) {
    const Qv600Start start = StartQv600Line(api, true);
    if (start.identification < 0) return start.identification;
    if (start.connection < 0) return kScannerMissing;
    api.scannerFamily = kFamilyQv600;
    return FinishQv600Start(api, ids);
  }

  if (funcTableSetParam(103, adapter) < 0 || funcTableSetParam(102, target) < 0) return kBadParameter552;
  if (int r = funcQV800GetIniFile(api.zarnIniPath.c_str(), api.zarnCfgPath.c_str(), &ids); r < 0) return r;
  if (funcTableGetParam(134) != 0) {
    if (int r = Statistics().Init(api.scannerFamily); r < 0) return r;
  }
  Manager().Init();
  api.zarnInitialised = true;
  const int f = api.scannerFamily;
  if (f == 10 || f == kFamilyQv800 || f == kFamilyQv800b || f == kFamilyQv800c) ZARNSetParamString(159, "KWL");
  TraceAt(1, "Leaving ZARNInit");
  return 1;
}

int ZARNInitPath(const char* dllPath, const char* iniPath, const char* cfgPath) {
  TraceAt(1, "ZARNInitPath Called");
  auto store = [](int id, const char* text) {
    if (text == nullptr) return;
    const size_t n = std::strlen(text);
    if (n >= 1 && n <= 256) funcTableSetParamString(id, text);
  };
  store(135, iniPath);
  store(136, cfgPath);
  store(137, dllPath);
  return ZARNInit();
}

int ZARNExit() {
  TraceAt(1, "ZARNExit Called");
  ApiState& api = Api();
  if (!api.zarnInitialised) return kInitScannerError;
  // A QV840 sorting from its input pocket is left set to the first pocket.
  if (api.scannerModel == 440 && funcTableGetParam(32) == 1 && funcTableGetParam(49) == 1) {
    TraceAt(1, "Before VEKSetPocket");
    VEKSetPocket(0);
    TraceAt(1, "after VEKSetPocket");
  }
  TraceAt(1, "before funcQV600Disable()");
  TraceAt(1, "before VEKScanReleaseMemory");
  VEKScanReleaseMemory();
  if (funcTableGetParam(134) != 0) {
    if (int r = Statistics().Save(api.scannerFamily); r < 0) return r;
  }
  TraceAt(1, "before FerloExit()");
  Manager().Exit();
  TraceAt(1, "after FerloExit()");
  TraceAt(1, "before funcQV600Exit()");
  if (IsQv600Line(api.scannerFamily)) funcQV600Exit();
  TraceAt(1, "before QVCloseScan()");
  if (IsQv800Line(api.scannerFamily)) {
    if (int r = Qv800().CloseScan(); r != 0) return funcConvertStatus(r);
  }
  TraceAt(1, "before funcUnLoadQV8DLL");
  const int result = Qv800().Unload(3);
  api.zarnInitialised = false;
  g_zarnFlag = false;
  TraceAt(1, "ZARNExit -- done");
  funcWriteApiLog("EXIT");
  return result;
}

int ZarnStatus() {
  TraceAt(1, "ZarnStatus Called");
  const int family = Api().scannerFamily;
  int r = kZarnNotInitialised;
  if (IsQv800Line(family)) {
    r = funcQV800CheckStatus();
  } else if (IsQv600Line(family)) {
    r = funcQV600Status();
  }
  TraceAt(2, "ZarnStatus %d", r);
  return r;
}

int ZARNSetParamString(int id, const char* text) {
  TraceAt(1, "ZARNSetParamString(%d,%s)", id, text != nullptr ? text : "");
  return funcTableSetParamString(id, text != nullptr ? text : "");
}

char* ZARNGetParamString(int id) {
  TraceAt(1, "ZARNGetParamString(%d)", id);
  return funcTableGetParamString(id);
}

int funcZARNSetAdapterTarget(const char*, int adapter, int target) {
  if (funcTableSetParam(103, adapter) < 0) return kBadParameter552;
  if (funcTableSetParam(102, target) < 0) return kBadParameter552;
  return 0;
}

int ZARNDisplayScannerInfo() {
  if (!Api().zarnInitialised) return kInitScannerError;
  unsigned char adapter = static_cast<unsigned char>(ZARNGetParam(103));
  unsigned char target = static_cast<unsigned char>(ZARNGetParam(102));
  char vendor[9] = {}, product[17] = {}, release[7] = {};
  // Each line shows its own box, the failures included.
  ZARNGetScannerInfo(&adapter, &target, vendor, product, release, 1);
  return 1;
}

int ZARNSetFlag(int value) {
  g_zarnFlag = value == 1;
  return 1;
}
bool ZarnFlag() { return g_zarnFlag; }

int funcGetApiVersion() { return kApiVersion; }
int funcGetApiDate(char* buffer, int size) {
  static constexpr char kDate[] = "2009:07:11";
  if (buffer == nullptr || size < static_cast<int>(sizeof kDate)) return 10;
  std::memcpy(buffer, kDate, sizeof kDate);
  return 10;
}
int funcGetSupportedScanners() { return kSupportedScanners; }

void ResetLifecycleForTests() {
  g_zarnFlag = false;
  g_foundScsi = ScsiIdentity{};
  g_dllPath.clear();
  InstallQv800Line(nullptr);
  InstallScannerStatistics(nullptr);
  InstallScannerManager(nullptr);
  SetInfoBoxHook(nullptr);
  SetMessageBeepHook(nullptr);
}

}  // namespace zarn
