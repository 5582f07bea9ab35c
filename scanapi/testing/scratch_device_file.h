// Parameter changes made while no scanner is started go to the QV800 device configuration file, which
// defaults to the working folder. Suites outside the API fixture hold one of these so that file lands in
// a scratch folder instead.
#pragma once

#include <string>

#include "testkit/support/scratch_dir.h"
#include "zarn/api_state.h"

namespace zarn::testing {

class ScratchDeviceFile {
 public:
  ScratchDeviceFile() : saved_(Api().qv8TmpFile) { Api().qv8TmpFile = dir_ / "QV8CFG.TMP"; }
  ~ScratchDeviceFile() { Api().qv8TmpFile = saved_; }
  ScratchDeviceFile(const ScratchDeviceFile&) = delete;
  ScratchDeviceFile& operator=(const ScratchDeviceFile&) = delete;

 private:
  zc::testkit::ScratchDir dir_{"zarncfg"};
  std::string saved_;
};

}  // namespace zarn::testing
