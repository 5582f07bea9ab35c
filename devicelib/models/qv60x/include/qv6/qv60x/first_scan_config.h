// ScanConfigIni of the first series: the scan configuration read from a section of an INI file, each key
// brought into range by its rule, and written back with the values in force. The keys are a table of
// (name, default, rule, field, written back); the auxiliary sides take most of their values from the
// main sides after reading.
#pragma once

#include <string>

namespace qv6::first {

struct SideConfig {
  int enable = 1;
  int color = 0;
  int red = 100;
  int green = 100;
  int blue = 100;
  int greyCode = 2;  // 0: 2 levels, 1: 16 levels, 2: 256 levels
  int threshold = 8;
  int resolution = 200;
  int bottom = 0;
  int top = 2200;
  int contrast = 100;
  int iniPos = 0;
  int endPos = 0;
};

struct ScanConfig {
  int cropEnable = 1;
  SideConfig front;
  SideConfig rear;
  int micrEnable = 1;
  int micrFont = 1;
  int micrSpaces = 2;
  int micrSaveSamples = 0;
  int printerEnable = 0;
  int printerIntensity = 4;
  int printerDensity = 4;
  std::string printerFont;
  int baudRate = 38400;
  int parity = 0;
  int charLen = 8;
  int stopBits = 2;
  SideConfig auxFront;
  SideConfig auxRear;
};

inline constexpr const char* kDefaultSection = "QV600 CONFIG";

// False, with *config unchanged, when the file does not open. Missing keys take their defaults.
bool LoadScanConfig(const char* file, const char* section, ScanConfig* config);
bool SaveScanConfig(const char* file, const char* section, const ScanConfig& config);

}  // namespace qv6::first
