// Test fixture for connecting a simulated QV63x through the exported interface: a scratch folder as
// current, Windows and temporary directory, a fast polling timer, a fresh device registry and driver
// layer, and a wait for what the polling thread does.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>

#include "driver/device_registry.h"
#include "platform/paths.h"
#include "qv6/qv63x/qv63x_models.h"
#include "testkit/support/scratch_dir.h"
#include "transport/driver_layer.h"
#include "testkit/support/wait.h"

namespace qv6::testing {

inline std::atomic<int> g_connected{0};

inline void OnConnect(int, intptr_t) {
  ++g_connected;
}

template <class Pred>
bool WaitFor(Pred pred) {
  return zc::testkit::WaitUntil(pred);
}

class ExportedConnectTest : public ::testing::Test {
 protected:
  explicit ExportedConnectTest(std::string_view scratchName) : scratch_(scratchName) {}

  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    plat::SetFolder(plat::Folder::kWindows, dir_.string());
    plat::SetFolder(plat::Folder::kTemp, dir_.string());
    std::ofstream(dir_ / "Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    drv::DeviceRegistry::Instance().Reset();
    DriverLayer::Reset();
    ASSERT_EQ(Qv63xModelClasses().size(), 4u);  // the model classes are registered
    g_connected = 0;
  }
  void TearDown() override {
    drv::DeviceRegistry::Instance().Reset();
    plat::SetFolder(plat::Folder::kWindows, "");
    plat::SetFolder(plat::Folder::kTemp, "");
    std::filesystem::current_path(old_);
  }

  zc::testkit::ScratchDir scratch_;
  std::filesystem::path dir_ = scratch_.Path();
  std::filesystem::path old_;
};

}  // namespace qv6::testing
