// The shared module state of the API.
#include "zarn/api_state.h"

namespace zarn {

ApiState& Api() {
  static ApiState state;
  return state;
}

bool IsQv600Line(int family) { return family == kFamilyQv600 || family == kFamilyRm70; }
bool IsQv800Line(int family) {
  return family == kFamilyQv800 || family == kFamilyQv800b || family == kFamilyQv800c;
}

void ResetApiState() {
  ApiState& s = Api();
  s.scannerFamily = -1;
  s.scannerModel = 200;
  s.zarnInitialised = false;
  s.zarnIniPath.clear();
  s.zarnCfgPath.clear();
  s.readIniPath.clear();
  s.qv8TmpFile = ".\\QV8CFG.TMP";
  s.qv8CfgFile = ".\\QV8CFG.CFG";
  s.reloadPending = false;
}

}  // namespace zarn
