// Start-up and unload of the application object.
#include "app/dll_app.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/log.h"
#include "device/qv6_device.h"
#include "device/recording_model.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "testkit/support/scratch_dir.h"
#include "testkit/support/wait.h"

namespace qv6 {
namespace {

namespace fs = std::filesystem;

TEST(DllApp, StartUpLogsTheReleaseAndUnloadClosesConnections) {
  zc::testkit::ScratchDir scratch("qv6app");
  const fs::path dir = scratch.Path();
  plat::SetFolder(plat::Folder::kWindows, dir.string());
  std::ofstream(dir / "Qv6ExtendedSetup.ini") << "[LOG]\nLOG Messages=10\n";
  unsigned saved = g_Log.threshold();
  g_Log.SetThreshold(100);

  auto state = std::make_shared<testing::ProbeState>();
  std::weak_ptr<Qv6Device> first, second;
  {
    plat::DebugOutputCapture capture;
    CQv6DllApp app;
    EXPECT_EQ(capture.Text(), "QV6GetDllRelease\nSTART Qv6Dll - Release: Rev. 0.0.0.0\n");
    for (auto* slot : {&first, &second}) {
      auto device = std::make_shared<Qv6Device>(testing::ProbesFor(state));
      device->SetEventFunction(1, [](int, intptr_t) { std::abort(); });  // must not run at unload
      device->OpenConnection(1, 0, 0, "QV6Descriptors.ini", "DEFAULT");
      *slot = device;
      app.connections().Add(device);
    }
    ASSERT_TRUE(
        zc::testkit::WaitUntil([&] { return first.lock()->connected() && second.lock()->connected(); }));
  }
  EXPECT_TRUE(first.expired());
  EXPECT_TRUE(second.expired());

  g_Log.SetThreshold(saved);
  plat::ResetFolders();
}

}  // namespace
}  // namespace qv6
