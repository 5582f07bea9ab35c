// A clean API for each test: load values in every table and switch, no back-end hooks, and the Windows,
// temporary and current folders inside a scratch folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/paths.h"
#include "testkit/support/scratch_dir.h"
#include "zarn/api_state.h"
#include "zarn/backend_hooks.h"
#include "zarn/expect_table.h"
#include "zarn/params.h"
#include "zarn/trace.h"

namespace zarn::testing {

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) != nullptr) oldCwd_ = cwd;
    ASSERT_EQ(::chdir(dir_.Path().c_str()), 0);
    plat::ResetFolders();
    plat::SetFolder(plat::Folder::kWindows, dir_.Path());
    plat::SetFolder(plat::Folder::kSystem, dir_.Path());
    plat::SetFolder(plat::Folder::kTemp, dir_.Path());
    plat::SetDriveRoot(dir_.Path());
    ResetAll();
  }
  void TearDown() override {
    ResetAll();
    plat::ResetFolders();
    if (!oldCwd_.empty()) (void)::chdir(oldCwd_.c_str());
  }

  static void ResetAll() {
    ResetTraceForTests();
    ResetParamsForTests();
    ResetApiState();
    InstallBackendHooks(nullptr);
    VEKScanExpectTable().Clear();
  }

  // A started API of `family` on `model`, as the lifecycle leaves it.
  static void Start(int family, int model = 200) {
    Api().scannerFamily = family;
    Api().scannerModel = model;
  }

  zc::testkit::ScratchDir dir_{"zarnapi"};
  std::string oldCwd_;
};

}  // namespace zarn::testing
