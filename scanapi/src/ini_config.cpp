// The API INI reader and writer, the QV800 device configuration file writer, and ZARNReadConfig /
// ZARNWriteConfig over them.
#include "zarn/ini_config.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ini_order.h"
#include "param_catalogue.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "zarn/api_state.h"
#include "zarn/backend_hooks.h"
#include "zarn/error_maps.h"
#include "zarn/expect_table.h"
#include "zarn/params.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

using catalogue::Entry;
using namespace ini_order;

constexpr size_t kMaxPath = 255;

// A key read with this default and giving it back counts as missing, so the next key of the chain is read.
int SentinelFor(uint32_t id) {
  switch (id) {
    case 36:
    case 37: return 4095;
    case 104:
    case 105: return 4096;
    default: return 65535;
  }
}

int RealDefault(const Entry& e) {
  switch (e.iniDefault) {
    case catalogue::kDefTrace: return ApiTraceLevel();
    case catalogue::kDefSwitch: return ApiLogToFile();
    case catalogue::kDefMode: return Qv630Mode();
    default: return e.iniDefault;
  }
}

int ReadInt(char section, const char* key, int defaultValue, const char* file) {
  return plat::GetPrivateProfileIntA(catalogue::SectionName(section), key, defaultValue, file);
}

std::string ReadString(const char* section, const char* key, uint32_t size, const char* file) {
  std::vector<char> buf(size, '\0');
  plat::GetPrivateProfileStringA(section, key, "", buf.data(), size, file);
  return std::string(buf.data());
}

// "ACQ. SETUP" first; an empty text there falls back to "Setup".
std::string ReadAcqOrSetup(const char* key, uint32_t size, const char* file) {
  std::string text = ReadString("ACQ. SETUP", key, size, file);
  if (text.empty()) text = ReadString("Setup", key, size, file);
  return text;
}

// Reads one numeric parameter through its key chain. `found` tells whether any key held a value; the sides
// and resolution parameters read every key with the sentinel and take 1 when none is found.
int ReadNumeric(const Entry& e, const char* file, bool& found) {
  const int n = e.ChainLength();
  const int sentinel = SentinelFor(e.id);
  const bool allSentinel = e.id == 43 || e.id == 6;
  found = false;
  for (int i = 0; i < n; ++i) {
    const catalogue::IniKey& k = e.chain[static_cast<size_t>(i)];
    if (i == n - 1 && !allSentinel) {
      found = true;
      return ReadInt(k.section, k.key, RealDefault(e), file);
    }
    const int v = ReadInt(k.section, k.key, sentinel, file);
    if (v != sentinel) {
      found = true;
      return v;
    }
  }
  return 1;
}

// Per-parameter corrections of the values read.
int ClampRead(uint32_t id, int v) {
  if (id == 110 && (v < 5 || v > 95)) return 75;
  if (id == 200 && (v < 200 || v > 900)) return 0;
  return v;
}

void ReadOneParameter(uint32_t id, const char* file, int& result) {
  const Entry* e = catalogue::Find(id);
  if (e == nullptr || e->ChainLength() == 0) return;
  bool found = false;
  int v = ClampRead(id, ReadNumeric(*e, file, found));
  if ((id == 43 || id == 6) && found) result = 1;
  if (id == 165) SetApiTraceLevel(v);
  ZARNSetParam(static_cast<int>(id), v);
}

void ReadExpectList(const char* file) {
  constexpr const char* kSection = "VEKSCAN EXCEPTION";
  ExpectTable& table = VEKScanExpectTable();
  table.Clear();
  int count = plat::GetPrivateProfileIntA(kSection, "Count", 0, file);
  if (count < 0 || count > kMaxExpectEntries) count = 0;
  std::vector<VEKScanExpectEntry> entries(static_cast<size_t>(count));
  for (int n = 1; n <= count; ++n) {
    VEKScanExpectEntry& x = entries[static_cast<size_t>(n - 1)];
    x = VEKScanExpectEntry{};
    char key[32];
    std::snprintf(key, sizeof key, "%dRouting", n);
    plat::GetPrivateProfileStringA(kSection, key, "=========", x.Routing, sizeof x.Routing, file);
    std::snprintf(key, sizeof key, "%dAccout", n);
    plat::GetPrivateProfileStringA(kSection, key, "", x.Accout, sizeof x.Accout, file);
    std::snprintf(key, sizeof key, "%dThreshold", n);
    x.Threshold = plat::GetPrivateProfileIntA(kSection, key, 1, file);
    if (x.Threshold < 1 || x.Threshold > 3) x.Threshold = 1;
    std::snprintf(key, sizeof key, "%dMin", n);
    x.Min = plat::GetPrivateProfileIntA(kSection, key, 0, file);
    if (x.Min < 0 || x.Min > 255) x.Min = 0;
    std::snprintf(key, sizeof key, "%dOptions", n);
    x.Options = plat::GetPrivateProfileIntA(kSection, key, 0, file);
    std::snprintf(key, sizeof key, "%dContrast", n);
    x.Contrast = plat::GetPrivateProfileIntA(kSection, key, 600, file);
    if (x.Threshold == 1) {
      if (x.Contrast < 200 || x.Contrast > 1024) x.Contrast = 600;
    } else if (x.Contrast < 2 || x.Contrast > 13) {
      x.Contrast = 10;
    }
  }
  table.Replace(std::move(entries));
}

void ReadStringStep(int step, const char* file) {
  switch (step) {
    case kSorterString1:
      funcTableSetParamString(40, ReadAcqOrSetup("Sorter: STR1", 260, file).c_str());
      break;
    case kSorterString2:
      funcTableSetParamString(41, ReadAcqOrSetup("Sorter: STR2", 260, file).c_str());
      break;
    case kPrintFile: {
      const std::string name = ReadAcqOrSetup("Print filename:", 256, file);
      funcTableSetParamString(35, name.c_str());
      funcTableSetParamString(112, name.c_str());
      break;
    }
    case kFontFile: {
      // A font already named in the table wins over the file's key.
      std::string font = funcTableGetParamString(83) ? funcTableGetParamString(83) : "";
      if (font.empty() && funcTableGetParamString(113) != nullptr) font = funcTableGetParamString(113);
      if (font.empty()) font = ReadAcqOrSetup("Font filename:", 256, file);
      funcTableSetParamString(83, font.c_str());
      funcTableSetParamString(113, font.c_str());
      break;
    }
    case kFerloPath: {
      const std::string path = ReadString("VEKSCAN", "Ferlo Path", 260, file);
      if (!path.empty()) funcTableSetParamString(177, path.c_str());
      break;
    }
    case kExpectList:
      ReadExpectList(file);
      break;
    case kKelvoJpeg:
      SetKelvoJpeg(plat::GetPrivateProfileIntA("ACQ. SETUP", "Kelvo JPEG", 0, file));
      break;
    default:
      break;
  }
}

std::string CutPath(const char* path) {
  std::string s(path);
  if (s.size() > kMaxPath) s.resize(kMaxPath);
  return s;
}

// Points the generated device files into the configuration folder; the temporary file must exist already.
int UseConfigFolder(const char* cfgDir) {
  if (cfgDir == nullptr || cfgDir[0] == '\0' || std::strlen(cfgDir) + 11 >= 256) return 0;
  std::string dir(cfgDir);
  if (dir.back() != '\\') dir += '\\';
  ApiState& api = Api();
  api.qv8TmpFile = dir + "qv8cfg.tmp";
  api.qv8CfgFile = dir + "qv8cfg.cfg";
  int fd = plat::OpenFileDescriptor(api.qv8TmpFile, O_RDWR | O_CLOEXEC);
  if (fd < 0) return kDeviceConfigFile;
  ::close(fd);
  return 0;
}

// Results of the QV800 library calls: positive device numbers are converted, status codes pass.
int DeviceResult(int r) { return r > 0 ? funcConvertStatus(r) : r; }

// The key a numeric parameter is written under in section `letter`: of the chain's keys in that section the
// capitalised spelling (most capitals; the first on a tie).
const char* WriterKey(const Entry& e, char letter) {
  const char* best = nullptr;
  int bestCaps = -1;
  for (int i = 0; i < e.ChainLength(); ++i) {
    const catalogue::IniKey& k = e.chain[static_cast<size_t>(i)];
    if (k.section != letter) continue;
    int caps = 0;
    for (const char* c = k.key; *c; ++c) caps += std::isupper(static_cast<unsigned char>(*c)) ? 1 : 0;
    if (caps > bestCaps) {
      best = k.key;
      bestCaps = caps;
    }
  }
  return best;
}

std::string Number(int v) { return std::to_string(v); }

// Cuts a caller's file name at the first blank unless parameter 104 (FileNamesTerminated) is on.
std::string ApiFileName(const char* path) {
  std::string s(path);
  if (funcTableGetParam(104) == 0) {
    size_t blank = s.find(' ');
    if (blank != std::string::npos) s.resize(blank);
  }
  if (s.size() > kMaxPath) s.resize(kMaxPath);
  return s;
}

}  // namespace

int funcQV800GetIniFile(const char* iniPath, const char* cfgDir, ScsiIds* ids) {
  int result = 2;
  SetDriverWriteThrough(false);
  ApiState& api = Api();
  if (iniPath == nullptr) {
    const char* s135 = funcTableGetParamString(135);
    api.readIniPath = s135 != nullptr ? s135 : "";
  } else if (iniPath[0] != '\0') {
    api.readIniPath = CutPath(iniPath);
  }
  if (int r = UseConfigFolder(cfgDir); r < 0) return r;
  const std::string fileName = api.readIniPath;
  const char* file = fileName.c_str();

  for (int step : ReaderSteps()) {
    if (step >= 1000) {
      ReadStringStep(step, file);
    } else {
      ReadOneParameter(static_cast<uint32_t>(step), file, result);
    }
  }

  if (ZARNGetParam(92) != 4) {
    const int r = ZARNSetParam(92, 4);
    if (r < 0) return r;
  }
  ScsiIds local;
  ScsiIds& out = ids != nullptr ? *ids : local;
  out.adapter = static_cast<uint8_t>(funcTableGetParam(103) & 0xFF);
  out.target = static_cast<uint8_t>(funcTableGetParam(102) & 0xFF);

  if (IsQv600Line(api.scannerFamily)) {
    for (int id : ReaderQv600Ids()) ReadOneParameter(static_cast<uint32_t>(id), file, result);
    if (Backend().RewriteQv600DriverFile() < 0) {
      TraceAt(1, "Disk Write Error 1 in funcQV800GetIniFile");
      TraceAt(1, "%s", api.qv8TmpFile.c_str());
      return kDiskReadWrite;
    }
    SetDriverWriteThrough(true);
  } else {
    if (funcWriteQV800CfgFile(api.qv8TmpFile.c_str()) != 1) {
      TraceAt(1, "Disk Write Error 2 in funcQV800GetIniFile");
      return kDiskReadWrite;
    }
    api.reloadPending = false;
    BackendHooks& b = Backend();
    if (int r = b.Qv800Init(api.qv8TmpFile.c_str(), api.qv8CfgFile.c_str(), funcTableGetParam(102),
                            funcTableGetParam(103));
        r != 0) {
      return DeviceResult(r);
    }
    if (int r = b.Qv800ClearErrors(); r != 0) return DeviceResult(r);
    if (int r = b.Qv800SetConfig(1); r != 0) return DeviceResult(r);
    b.Qv800GetScsiInfo(&out.adapter, &out.target);
  }

  const std::string printString = ReadAcqOrSetup("Print string:", 256, file);
  Backend().Qv800SetPrint(34, 0, printString.c_str());
  return result;
}

int funcQV800WriteIniFile(const char* iniPath) {
  std::string target;
  if (iniPath == nullptr) {
    const char* s135 = funcTableGetParamString(135);
    target = s135 != nullptr ? s135 : "";
  } else {
    target = CutPath(iniPath);
  }
  // The MICR window must be valid before it is written.
  if (funcTableGetParam(14) >= funcTableGetParam(71)) {
    ZARNSetParam(14, 0);
    ZARNSetParam(71, 1000);
  }
  const bool qv600 = IsQv600Line(Api().scannerFamily);
  auto stringValue = [](int id) {
    const char* v = funcTableGetParamString(id);
    return std::string(v != nullptr ? v : "");
  };

  bool ok = plat::EditProfile(target.c_str(), [&](plat::IniDocument& doc) {
    const char* section = "ACQ. SETUP";
    char letter = 'A';
    bool skip = false;
    for (int step : WriterSteps()) {
      switch (step) {
        case kSectionScsi: section = "SCSI"; letter = 0; skip = false; continue;
        case kSectionAcq: section = "ACQ. SETUP"; letter = 'A'; skip = false; continue;
        case kSectionLight: section = "DOUBLE LIGHT SOURCE"; letter = 'L'; skip = false; continue;
        case kSectionQv600: section = "QV600 CONFIG"; letter = 'Q'; skip = !qv600; continue;
        case kSectionVek: section = "VEKSCAN"; letter = 'V'; skip = false; continue;
        default: break;
      }
      if (skip) continue;
      switch (step) {
        case kDoubleFeedAsThickness: doc.Set(section, "Acq: Doc.thickness", Number(ZARNGetParam(7))); continue;
        case kDoubleFeedAsDetect:
          doc.Set(section, "Devices: Double feed detect", Number(ZARNGetParam(7)));
          continue;
        case kSorterString1: doc.Set(section, "Sorter: STR1", stringValue(40)); continue;
        case kSorterString2: doc.Set(section, "Sorter: STR2", stringValue(41)); continue;
        case kPrintString: doc.Set(section, "Print String:", stringValue(34)); continue;
        case kPrintFile:
          doc.Set(section, "BMP filename:", stringValue(35));
          // The reader takes the bitmap from "Print filename:"; without it the name is lost on a round trip.
          doc.Set(section, "Print filename:", stringValue(35));
          continue;
        case kFontFile: doc.Set(section, "Font filename:", stringValue(83)); continue;
        default: break;
      }
      const Entry* e = catalogue::Find(static_cast<uint32_t>(step));
      if (e == nullptr) continue;
      const int value = step == 165 ? ApiTraceLevel() : ZARNGetParam(step);
      const char* key = letter == 0 ? e->key : WriterKey(*e, letter);
      if (key != nullptr) doc.Set(section, key, Number(value));
    }
  });
  return ok ? 1 : kDiskReadWrite;
}

int funcWriteQV800CfgFile(const char* fileName) {
  if (fileName == nullptr) return kDeviceConfigFile;
  const std::string target = CutPath(fileName);
  bool ok = plat::EditProfile(target.c_str(), [](plat::IniDocument& doc) {
    auto table = ZarnParamTable();
    for (size_t i = 0; i < 200 && i < table.size() && table[i].id != kEndOfTable; ++i) {
      const ZarnParamRecord& r = table[i];
      if (r.section == nullptr || r.section[0] == '\0') continue;
      doc.Set(r.section, r.key, Number(r.value));
    }
    for (const ZarnStringParamRecord& r : ZarnStringParamTable()) {
      if (r.id == kEndOfTable) break;
      if (r.section == nullptr || r.section[0] == '\0') continue;
      doc.Set(r.section, r.key, r.value);
    }
    doc.Set("MISCELLANEOUS", "Double feed lenght", Number(funcTableGetParam(98)));
  });
  return ok ? 1 : kDiskReadWrite;
}

int ZARNReadConfig(const char* path) {
  TraceAt(1, "ZARNReadConfig(%s)", path != nullptr ? path : "(null)");
  const ApiState& api = Api();
  if (path == nullptr) {
    if (!api.zarnInitialised) return kBadFileName;
    path = funcTableGetParamString(135);
    if (path == nullptr) return kBadFileName;
  }
  const std::string name = ApiFileName(path);
  if (api.scannerFamily < 1) return kScannerMissing;
  return funcQV800GetIniFile(name.c_str(), api.zarnCfgPath.c_str(), nullptr);
}

int ZARNWriteConfig(const char* path) {
  TraceAt(1, "ZARNWriteConfig(%s)", path != nullptr ? path : "(null)");
  if (path == nullptr) return kBadFileName;
  const std::string name = ApiFileName(path);
  if (Api().scannerFamily < 1) return kScannerMissing;
  return funcQV800WriteIniFile(name.c_str());
}

}  // namespace zarn
