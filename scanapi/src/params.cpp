// The parameter tables, the table setters and getters, and ZARNSetParam / ZARNGetParam with their
// conversions to and from the tables' internal form and the model rules.
#include "zarn/params.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "param_catalogue.h"
#include "platform/ini.h"
#include "zarn/api_state.h"
#include "zarn/backend_hooks.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr size_t kNumericSearchLimit = 200;
constexpr size_t kStringSearchLimit = 20;

struct StringSeed {
  uint32_t id;
  const char* section;
  const char* key;
  const char* defaultValue;
  const char* value;
};

constexpr StringSeed kStringSeeds[kStringParamRecords] = {
    {135, "", "Ini Path", "", "zarnscan.ini"},
    {136, "", "Cfg Path", "", ".\\"},
    {137, "", "DLL Path", "", ""},
    {138, "", "Firmware File", "", ""},
    {158, "SCANNER", "Type", "", ""},
    {40, "SORTER", "String1", "", ""},
    {41, "SORTER", "String2", "", ""},
    {35, "IJ PRINTER", "BMP filename", "Logo.bmp", ""},
    {83, "IJ PRINTER", "Font filename", "Qv8ij_k.fnt", ""},
    {112, "IJ PRINTER", "BMP12 filename", "Logo.bmp", ""},
    {113, "IJ PRINTER", "Font12 filename", "qv8_ij12_k.fnt", ""},
    {34, "IJ PRINTER", "PrintString", "", ""},
    {159, "MICR", "MICR Method", "KR", "KR"},
    {177, "VEKSCAN", "Ferlo Path", "", ""},
};

// Copies at most size - 1 characters and terminates.
void CopyBounded(char* dst, size_t size, const char* src) {
  size_t n = src == nullptr ? 0 : strnlen(src, size - 1);
  if (n > 0) std::memcpy(dst, src, n);
  dst[n] = '\0';
}

struct Tables {
  std::array<ZarnParamRecord, kParamRecords + 1> numeric{};
  std::array<ZarnStringParamRecord, kStringParamRecords + 1> strings{};
  int qv630Mode = 100;
  bool writeThrough = false;
  int kelvoJpeg = 0;
  char printFile[kStringParamSize] = {};
  char fontFile[kStringParamSize] = {};

  Tables() { Reset(); }

  void Reset() {
    auto entries = catalogue::Entries();
    for (size_t i = 0; i < kParamRecords; ++i) {
      const catalogue::Entry& e = entries[i];
      ZarnParamRecord& r = numeric[i];
      r = ZarnParamRecord{};
      r.id = e.id;
      r.section = e.section;
      CopyBounded(r.key, sizeof r.key, e.key);
      r.previous = e.previous;
      r.value = catalogue::LoadValue(e.id);
      r.flag = e.flag;
    }
    numeric[kParamRecords] = ZarnParamRecord{kEndOfTable, "", {}, 0, 0, 0};
    for (size_t i = 0; i < kStringParamRecords; ++i) {
      const StringSeed& s = kStringSeeds[i];
      ZarnStringParamRecord& r = strings[i];
      r = ZarnStringParamRecord{};
      r.id = s.id;
      r.section = s.section;
      CopyBounded(r.key, sizeof r.key, s.key);
      CopyBounded(r.defaultValue, sizeof r.defaultValue, s.defaultValue);
      CopyBounded(r.value, sizeof r.value, s.value);
    }
    strings[kStringParamRecords] = ZarnStringParamRecord{};
    strings[kStringParamRecords].id = kEndOfTable;
    strings[kStringParamRecords].section = "";
    qv630Mode = 100;
    writeThrough = false;
    kelvoJpeg = 0;
    printFile[0] = '\0';
    fontFile[0] = '\0';
  }
};

Tables& T() {
  static Tables tables;
  return tables;
}

ZarnParamRecord* FindNumeric(uint32_t id) {
  auto& table = T().numeric;
  for (size_t i = 0; i < kNumericSearchLimit && i < table.size(); ++i) {
    if (table[i].id == kEndOfTable) return nullptr;
    if (table[i].id == id) return &table[i];
  }
  return nullptr;
}

ZarnStringParamRecord* FindString(uint32_t id) {
  auto& table = T().strings;
  for (size_t i = 0; i < kStringSearchLimit && i < table.size(); ++i) {
    if (table[i].id == kEndOfTable) return nullptr;
    if (table[i].id == id) return &table[i];
  }
  return nullptr;
}

bool ModelIn(std::initializer_list<int> models) {
  const int model = Api().scannerModel;
  return std::find(models.begin(), models.end(), model) != models.end();
}

int ApplyAlias(int id) {
  switch (id) {
    case 48: return 2;
    case 56: return 1;
    case 24: return 98;
    case 50: return 7;
    case 57: return 107;
    default: return id;
  }
}

// The QV800 device configuration file takes every change on the QV800 line; the device reads it at the
// next scan set-up.
void WriteDeviceFile(const char* section, const char* key, const char* value) {
  if (section == nullptr || section[0] == '\0') return;
  plat::WritePrivateProfileStringA(section, key, value, Api().qv8TmpFile.c_str());
}

constexpr int kResolutionStore[5] = {0, 2, 3, 3, 4};
constexpr int kResolutionRead[5] = {0, 3, 1, 3, 4};

// The MICR decoding method follows the font: CMC-7 needs the device's own reader ("KWL"), E13B and the
// automatic font use the template decoder ("KR") on the models that deliver samples.
void SwitchMicrMethod(int font) {
  ZarnStringParamRecord* method = FindString(159);
  if (method == nullptr) return;
  const bool qv600 = IsQv600Line(Api().scannerFamily);
  if (std::strncmp(method->value, "KR", 2) == 0 && font == 0) {
    CopyBounded(method->value, sizeof method->value, "KWL");
    // A QV800-line start must not open a QV600 connection.
    if (qv600) Backend().Qv600Restart();
  }
  if (std::strncmp(method->value, "KWL", 3) == 0 && (font == 1 || font == 2) &&
      ModelIn({230, 220, 30, 240, 440})) {
    CopyBounded(method->value, sizeof method->value, "KR");
    if (qv600) Backend().Qv600Restart();
  }
}

}  // namespace

std::span<ZarnParamRecord> ZarnParamTable() { return T().numeric; }
std::span<ZarnStringParamRecord> ZarnStringParamTable() { return T().strings; }

int Qv630Mode() { return T().qv630Mode; }
bool DriverWriteThrough() { return T().writeThrough; }
void SetDriverWriteThrough(bool on) { T().writeThrough = on; }
int KelvoJpeg() { return T().kelvoJpeg; }
void SetKelvoJpeg(int value) { T().kelvoJpeg = value; }
const char* PrintFileName() { return T().printFile; }
const char* FontFileName() { return T().fontFile; }

void ResetParamsForTests() { T().Reset(); }

int funcTableGetParam(int id) {
  const ZarnParamRecord* r = FindNumeric(static_cast<uint32_t>(ApplyAlias(id)));
  return r == nullptr ? kBadParameter : r->value;
}

int funcTableSetParam(int id, int value) {
  if (id == 48 || id == 56 || id == 24 || id == 50) id = ApplyAlias(id);
  Tables& t = T();
  const ApiState& api = Api();
  if (id == 160 && value == 1 && (api.scannerModel == 215 || api.scannerModel == 30 || t.qv630Mode == 35)) {
    value = 0;
  }
  if (id == 14 && value >= funcTableGetParam(71)) value = 1;
  if (id == 71) {
    const int initial = funcTableGetParam(14);
    if (value <= initial) value = initial + 1000;
  }
  if (id == 57) id = 107;
  if (id == 165) SetApiTraceLevel(value);
  if (id == 166) {
    SetApiLogToFile(value);
    return 0;
  }
  if (id == 163) {
    if (!(t.qv630Mode == 100 && value <= 100)) return t.qv630Mode;
    t.qv630Mode = value;
  }
  ZarnParamRecord* r = FindNumeric(static_cast<uint32_t>(id));
  if (r == nullptr) return kBadParameter;
  r->value = value;

  if (IsQv600Line(api.scannerFamily)) {
    int result = 0;
    if (t.writeThrough && r->flag == 1) result = Backend().RewriteQv600DriverFile();
    if (id == 193 || id == 194 || id == 191) result = Backend().Qv600SetMicrConfig(id, value);
    return result;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  WriteDeviceFile(r->section, r->key, text);
  Api().reloadPending = true;
  return 0;
}

char* funcTableGetParamString(int id) {
  if (funcGetScannerTypeCode() == 314) {
    if (id == 35) id = 112;
    if (id == 83) id = 113;
  }
  ZarnStringParamRecord* r = FindString(static_cast<uint32_t>(id));
  return r == nullptr ? nullptr : r->value;
}

int funcTableSetParamString(int id, const char* text) {
  ZarnStringParamRecord* r = FindString(static_cast<uint32_t>(id));
  if (r == nullptr || text == nullptr) return kBadParameter;
  CopyBounded(r->value, sizeof r->value, text);
  Tables& t = T();
  ApiState& api = Api();
  int result = 0;
  if (IsQv600Line(api.scannerFamily) && api.zarnInitialised) {
    if (t.writeThrough) result = Backend().RewriteQv600DriverFile();
  } else if (r->section[0] != '\0' && id != 158 && id != 159 && id != 177) {
    WriteDeviceFile(r->section, r->key, r->value);
    if (id != 35 && id != 112) api.reloadPending = true;
  }
  if (id == 35 || id == 112) CopyBounded(t.printFile, sizeof t.printFile, r->value);
  if (id == 83 || id == 113) CopyBounded(t.fontFile, sizeof t.fontFile, r->value);
  return result;
}

int ZARNGetParam(int id) {
  if (id == 169 && IsQv600Line(Api().scannerFamily)) return Backend().Qv600StatusCheck();
  if (Api().scannerFamily < 1) return kScannerMissing;
  int v = funcTableGetParam(id);
  switch (id) {
    case 23: return v == 0 ? 1 : 0;
    case 6: return (v >= 0 && v <= 4) ? kResolutionRead[v] : kBadParameter;
    case 11:
    case 12: return (~v) & 15;
    default: return v;
  }
}

int ZARNSetParam(int id, int value) {
  if (id == 165) SetApiTraceLevel(value);
  TraceAt(1, "ZARNSetParam(%d,%d)", id, value);
  const ApiState& api = Api();
  if (api.scannerFamily < 1) return kScannerMissing;
  if (id == 178 && value > 0) return Backend().Qv600Disable();
  if (id == 6 && (value < 0 || value > 4)) return kBadParameter;
  // The log-file switch lives outside the table, so compare with the switch itself; otherwise it could
  // never be switched off again.
  const int current = id == 166 ? ApiLogToFile() : ZARNGetParam(id);
  if (value == current) return value;

  switch (id) {
    case 6:
      value = kResolutionStore[value];
      break;
    case 23:
      value = value == 0 ? 1 : 0;
      break;
    case 7:
    case 50:
      id = 7;
      if (value == 2 && !ModelIn({230, 220, 440, 240})) value = 1;
      if (ModelIn({215, 30})) value = 0;
      break;
    case 119:
    case 126:
      if (value == 2 && !ModelIn({230, 440, 240})) value = 1;
      break;
    case 45:
      if (ModelIn({230, 220, 440, 240, 30})) value = 1;
      break;
    case 11:
    case 12:
      value = (~value) & 15;
      break;
    case 160:
      if (!ModelIn({230, 440, 240})) return 0;
      if (value == 1 && funcTableGetParam(163) == 35) {
        value = 0;
      } else {
        funcTableSetParam(111, 0);
      }
      break;
    case 163:
      if (value == 35) funcTableSetParam(160, 0);
      break;
    case 32:
      if (ModelIn({230, 220, 200, 240, 30})) value = 0;
      break;
    default:
      break;
  }
  if (id == 2) SwitchMicrMethod(value);
  return funcTableSetParam(id, value);
}

}  // namespace zarn
