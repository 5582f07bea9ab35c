// The API's module state that the parameter code, the back-ends and the status conversion share.
// Everything here runs on the API thread except the reload flag, which device callbacks also set.
#pragma once

#include <atomic>
#include <string>

namespace zarn {

// Scanner families: the QV600 line through the device library, and the SCSI QV800 line.
inline constexpr int kFamilyQv600 = 200;
inline constexpr int kFamilyRm70 = 30;
inline constexpr int kFamilyQv800 = 400;
inline constexpr int kFamilyQv800b = 300;
inline constexpr int kFamilyQv800c = 314;

struct ApiState {
  int scannerFamily = -1;  // -1 at load; -125 after a failed start
  std::atomic<int> scannerModel{200};  // the QV600-line model number, 200 until identified; read by callbacks
  bool zarnInitialised = false;
  std::string zarnIniPath;  // the API INI file in use
  std::string zarnCfgPath;
  std::string readIniPath;  // the INI file the reader read last
  std::string qv8TmpFile = ".\\QV8CFG.TMP";
  std::string qv8CfgFile = ".\\QV8CFG.CFG";
  std::atomic<bool> reloadPending{false};
};

ApiState& Api();
// Families 200 and 30 are both served through the device library.
bool IsQv600Line(int family);
bool IsQv800Line(int family);
// Restores the load values (for tests).
void ResetApiState();

}  // namespace zarn
