// The API INI file ("zarnscan.ini") reader and writer and the QV800 device configuration file writer.
#pragma once

#include <cstdint>

namespace zarn {

struct ScsiIds {
  uint8_t adapter = 0;
  uint8_t target = 0;
};

// Reads every parameter from the API INI file (null: string parameter 135) through ZARNSetParam, loads the
// "VEKSCAN EXCEPTION" list and hands the result to the back-end of the current family. Returns 1 when the file
// gave the sides or the resolution, 2 when it gave neither, or a negative status code. `ids` may be null.
int funcQV800GetIniFile(const char* iniPath, const char* cfgDir, ScsiIds* ids);
// Writes the parameters in API form to the API INI file (null: string parameter 135). 1, or -233 when a write
// failed.
int funcQV800WriteIniFile(const char* iniPath);
// Writes every sectioned record to the QV800 device configuration file. 1, -558 for a null name, -233 when a
// write failed.
int funcWriteQV800CfgFile(const char* fileName);

}  // namespace zarn
