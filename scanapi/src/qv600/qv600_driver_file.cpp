// The scan configuration file the device library loads: the driver rows and the firmware rows, refreshed
// from the parameter tables and written as an INI file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/ini.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr const char* kSection = "QV600 CONFIG";

QV600DriverIniRow g_driverRows[] = {
    {42, kSection, "FRONT_IMG Enable", 0, 0},
    {119, kSection, "FRONT_IMG Color", 0, 0},
    {120, kSection, "FRONT_IMG RED Intensity", 100, 0},
    {121, kSection, "FRONT_IMG GREEN Intensity", 100, 0},
    {122, kSection, "FRONT_IMG BLU Intensity", 100, 0},
    {45, kSection, "FRONT_IMG GrayLevels", 1, 0},
    {11, kSection, "FRONT_IMG BW Threshold", 8, 0},
    {6, kSection, "FRONT_IMG Resolution", 1, 0},
    {123, kSection, "FRONT_IMG Bottom", 0, 0},
    {124, kSection, "FRONT_IMG Top", 1100, 0},
    {125, kSection, "FRONT_IMG Contrast", 100, 0},
    {43, kSection, "REAR_IMG Enable", 1, 0},
    {126, kSection, "REAR_IMG Color", 0, 0},
    {127, kSection, "REAR_IMG RED Intensity", 100, 0},
    {128, kSection, "REAR_IMG GREEN Intensity", 100, 0},
    {129, kSection, "REAR_IMG BLU Intensity", 100, 0},
    {45, kSection, "REAR_IMG GrayLevels", 1, 0},
    {12, kSection, "REAR_IMG BW Threshold", 8, 0},
    {6, kSection, "REAR_IMG Resolution", 1, 0},
    {130, kSection, "REAR_IMG Bottom", 0, 0},
    {131, kSection, "REAR_IMG Top", 1100, 0},
    {132, kSection, "REAR_IMG Contrast", 100, 0},
    {1, kSection, "MICR Enable", 0, 0},
    {2, kSection, "MICR Font", 1, 0},
    {107, kSection, "MICR Spaces", 2, 0},
    {31, kSection, "PRINTER Enable", 0, 0},
    {86, kSection, "PRINTER Intensity", 90, 0},
    {87, kSection, "PRINTER Density", 4, 0},
    {7, kSection, "DOUBLE FEED Enable", 1, 0},
    {98, kSection, "DOUBLE FEED Length", 20, 0},
    {133, kSection, "DOUBLE FEED Delay", 5, 0},
    {36, kSection, "CROP_IMAGE Enable", 0, 0},
    {143, kSection, "PHOTO OUT White Threshold", 40, 0},
    {144, kSection, "PHOTO OUT White Tolerance", 15, 0},
    {145, kSection, "PHOTO OUT Enable", 1, 0},
    {200, kSection, "FRONT_IMG Scan IniPos", 0, 0},
    {200, kSection, "FRONT_IMG Scan IniPos", 0, 0},
    {203, kSection, "REAR_IMG Scan EndPos", 0, 0},
    {203, kSection, "REAR_IMG Scan EndPos", 0, 0},
    {204, kSection, "RS232 BaudeRate", 38400, 0},
    {205, kSection, "RS232 Parity", 0, 0},
    {206, kSection, "RS232 CharLen", 8, 0},
    {207, kSection, "RS232 StopBits", 1, 0},
    {32, kSection, "SORTER Enable", 0, 0},
    {161, kSection, "Feed Solenoid Mode", 0, 0},
    {162, kSection, "LOG Messages", 0, 0},
    {191, kSection, "SCAN Mode", 0, 0},
    {193, kSection, "MICR Gain (x0.01)", 100, 0},
    {194, kSection, "MICR AGC", 0, 0},
    {196, kSection, "FrankerMode", 0, 0},
    {197, kSection, "FrankerSmartModeBadQtyAllowed", 0, 0},
    {198, kSection, "FrankerRightMargin", 50, 0},
    {199, kSection, "FrankerLength", 280, 0},
    {-1, "", "", 0, 0},
};
static_assert(sizeof g_driverRows / sizeof g_driverRows[0] == kDriverIniRows + 1);

std::string szQV600CfgFile = ".\\qv6cfg.tmp";

// The driver's form of a parameter value.
int DriverValue(int id, int v) {
  switch (id) {
    case 42:
      return v == 0 ? ZARNGetParam(43) : v;  // the front is scanned for either side setting
    case 45:
      return v == 0 ? 16 : 256;
    case 6:
      if (v < 0) return v;
      return v == 0 ? 100 : v == 4 ? 300 : 200;
    case 86:
      if (v < 0) return v;
      return v / 20 < 1 ? 4 : v / 20;
    case 87:
      if (v < 0) return v;
      return v * 2 / 3 < 1 ? 4 : v * 2 / 3;
    default:
      return v;
  }
}

}  // namespace

std::span<QV600DriverIniRow> QV600DriverIniTable() { return {g_driverRows, kDriverIniRows + 1}; }
const char* Qv600DriverFileName() { return szQV600CfgFile.c_str(); }
void SetQv600DriverFileName(const char* name) { szQV600CfgFile = name != nullptr ? name : ""; }

int SetConfigData() {
  for (int i = 0; i < 200 && g_driverRows[i].id != -1; ++i) {
    QV600DriverIniRow& row = g_driverRows[i];
    int v = DriverValue(row.id, ZARNGetParam(row.id));
    if (v < 0) v = row.defaultValue;
    row.value = v;
  }
  FirmwareFileRow* rows = QV600FirmwareTable();
  for (int i = 0; i < 20 && rows[i].id != -1; ++i) {
    const char* text = funcTableGetParamString(rows[i].id);
    if (text == nullptr || text[0] == '\0') continue;
    std::string v = text;
    for (char& c : v)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (i < 6) v = RenameFirmwareForRow(v, i);
    if (v.size() > 255) {
      TraceAt(1, "Firmware path for %s longer than 255 characters, not kept", rows[i].key);
      continue;
    }
    std::memcpy(rows[i].value, v.c_str(), v.size() + 1);
  }
  TraceAt(1, "SetConfigData");
  return 0;
}

int funcKWLWriteIniFileQV600(const char* fileName) {
  TraceAt(1, "funcKWLWriteIniFileQV600#0:");
  if (fileName != nullptr && std::strlen(fileName) < 256) {
    szQV600CfgFile = fileName;
  } else {
    szQV600CfgFile = ".\\qv6cfg.tmp";
  }
  if (WriteDriverFileRows() < 0) return kDiskReadWrite;
  TraceAt(1, "funcKWLWriteIniFileQV600#1:");
  const int r = funcQV600Update(0x102);
  TraceAt(2, "funcKWLWriteIniFileQV600#2:");
  return r;
}

int WriteDriverFileRows() {
  SetConfigData();
  bool written = true;
  char number[16];
  for (int i = 0; i < 200 && g_driverRows[i].id != -1; ++i) {
    const QV600DriverIniRow& row = g_driverRows[i];
    std::snprintf(number, sizeof number, "%d", row.value);
    written &= plat::WritePrivateProfileStringA(row.section, row.key, number, szQV600CfgFile.c_str());
  }
  const FirmwareFileRow* rows = QV600FirmwareTable();
  for (int i = 0; i < 20 && rows[i].id != -1; ++i) {
    if (rows[i].value[0] == '\0') continue;
    written &= plat::WritePrivateProfileStringA(rows[i].section, rows[i].key, rows[i].value, szQV600CfgFile.c_str());
  }
  // Reloading a file that was not written would configure the device from stale values.
  if (!written) {
    TraceAt(1, "Driver configuration file %s not written", szQV600CfgFile.c_str());
    return kDiskReadWrite;
  }
  return 0;
}

void ResetDriverFileForTests() {
  szQV600CfgFile = ".\\qv6cfg.tmp";
  for (auto& row : g_driverRows) row.value = 0;
  FirmwareFileRow* rows = QV600FirmwareTable();
  for (int i = 0; rows[i].id != -1; ++i) rows[i].value[0] = '\0';
}

int funcQV600SetMicrConfig(const char* file, int id, int value) {
  if (file != nullptr && std::strlen(file) < 256) SetQv600DriverFileName(file);
  const std::string target = Qv600DriverFileName();
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  const int index = Qv600().connection.load();
  const char* key = nullptr;
  switch (id) {
    case 193:
      if (Qv6Loaded()) Qv6().QV6SetConfig_MicrGain(index, value, 0);
      key = "MICR Gain (x0.01)";
      break;
    case 194:
      if (Qv6Loaded()) Qv6().QV6SetConfig_MicrAgc(index, value, 0);
      key = "MICR AGC";
      break;
    case 191:
      if (Qv6Loaded()) Qv6().QV6SetConfig_ScanMode(index, value);
      key = "SCAN Mode";
      break;
    default:
      return 1;
  }
  plat::WritePrivateProfileStringA("QV600 CONFIG", key, text, target.c_str());
  return 1;
}

}  // namespace zarn
