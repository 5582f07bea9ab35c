// Connecting against the simulated scanner through the standard probes: every model of the table found
// and started with its firmware file, the descriptor INI key over the default, a model class that is not
// registered, a start-up failure that lets probing go on, and nothing attached.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/log.h"
#include "connect/model_table.h"
#include "connect/sim_model.h"
#include "device/qv6_device.h"
#include "driver/device_registry.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "sim/catalog.h"
#include "testkit/support/scratch_dir.h"
#include "transport/bulk_layer.h"
#include "transport/driver_layer.h"

namespace qv6 {
namespace {

namespace fs = std::filesystem;
using testing::SimScript;

class ConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetFolder(plat::Folder::kWindows, dir_.string());
    Reset();
    savedThreshold_ = g_Log.threshold();
    g_Log.SetThreshold(0);
  }
  void TearDown() override {
    g_Log.SetThreshold(savedThreshold_);
    Reset();
    plat::ResetFolders();
  }
  static void Reset() {
    drv::DeviceRegistry::Instance().Reset();
    drv::DeviceRegistry::Instance().SetTraceEnabled(true);  // call patterns are read from it
    BulkLayer::Reset();
    DriverLayer::Reset();
    SimScript().Reset();
  }
  std::shared_ptr<Qv6Device> NewDevice() {
    auto device = std::make_shared<Qv6Device>();
    device->SetDescriptor("QV6Descriptors.ini", "DEFAULT");
    return device;
  }

  zc::testkit::ScratchDir scratch_{"qv6connect"};
  fs::path dir_ = scratch_.Path();
  unsigned savedThreshold_ = 0;
};

TEST_F(ConnectTest, EveryModelIsConnectedAndStartedWithItsFirmwareFile) {
  testing::SimModelClasses classes;
  for (const sim::ModelInfo& info : sim::AllModels()) {
    for (sim::Firmware firmware : {sim::Firmware::kRunning, sim::Firmware::kBootLoader}) {
      if (firmware == sim::Firmware::kBootLoader && !info.boot) continue;
      SCOPED_TRACE(std::string(info.modelText) + (firmware == sim::Firmware::kBootLoader ? " (boot)" : ""));
      Reset();
      auto scanner = sim::AttachScanner(info.model, {}, firmware);
      // The simulator lists its series in probing order too.
      const ModelRow* row = MatchModel(static_cast<SeriesId>(static_cast<int>(info.series)), info.modelText);
      ASSERT_NE(row, nullptr);

      plat::DebugOutputCapture log;
      auto device = NewDevice();
      ASSERT_EQ(device->Connect(), 1);
      EXPECT_TRUE(device->connected());
      std::string text = log.Text();
      EXPECT_NE(text.find(row->logLine), std::string::npos) << text;
      EXPECT_NE(text.find("Connected: Yes\n"), std::string::npos);

      auto starts = SimScript().Starts();
      ASSERT_EQ(starts.size(), 1u);
      EXPECT_EQ(starts[0].modelClass, row->modelClass);
      EXPECT_EQ(starts[0].hasFile, row->firmwareKey != nullptr);
      if (row->defaultFile != nullptr) {
        EXPECT_EQ(starts[0].file, row->defaultFile);
      }
      sim::Identity identity = scanner->identity();
      if (firmware == sim::Firmware::kRunning) {
        EXPECT_EQ(starts[0].state, identity.state);
        EXPECT_EQ(starts[0].version, identity.version);
        EXPECT_EQ(starts[0].manufacturer, identity.manufacturer);
      } else {
        EXPECT_EQ(starts[0].version, "99.99.99.99");
      }

      // Only the connected series' transport is open; disconnecting closes it.
      EXPECT_EQ(scanner->sessionsOpened(), scanner->sessionsClosed() + 1);
      device->Disconnect();
      EXPECT_EQ(scanner->sessionsOpened(), scanner->sessionsClosed());
      EXPECT_EQ(SimScript().live.load(), 0);
    }
  }
}

TEST_F(ConnectTest, DescriptorKeyNamesTheFirmwareFile) {
  testing::SimModelClasses classes;
  std::ofstream(dir_ / "QV6Descriptors.ini")
      << "[OTHER]\nRM70KF_Firmw=wrong.bin\n[DEFAULT]\nrm70kf_firmw = C:\\Firmware\\RM70KF_1.2.3.4.bin\n";
  sim::AttachScanner(sim::Model::kRm70Kf);
  auto device = NewDevice();
  ASSERT_EQ(device->Connect(), 1);
  auto starts = SimScript().Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].file, "C:\\Firmware\\RM70KF_1.2.3.4.bin");

  // The plain RM 70 has no key there and takes its default.
  device->Disconnect();
  Reset();
  sim::AttachScanner(sim::Model::kRm70);
  ASSERT_EQ(device->Connect(), 1);
  starts = SimScript().Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].file, "RM70Firmware.bin");
}

TEST_F(ConnectTest, UnregisteredModelClassIsNoModel) {
  auto scanner = sim::AttachScanner(sim::Model::kQv630);
  plat::DebugOutputCapture log;
  auto device = NewDevice();
  EXPECT_EQ(device->Connect(), 0);
  EXPECT_FALSE(device->connected());
  std::string text = log.Text();
  EXPECT_NE(text.find("Device: Qv630\nNo model class Qv630\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Connected: No\n"), std::string::npos);
  // The QV63x step and the later steps each opened and closed the scanner again.
  EXPECT_EQ(scanner->sessionsOpened(), 6);
  EXPECT_EQ(scanner->sessionsClosed(), 6);
}

TEST_F(ConnectTest, FailedStartUpDropsTheModelAndProbingGoesOn) {
  testing::SimModelClasses classes;
  SimScript().failClass = "Qv600";
  auto first = sim::AttachScanner(sim::Model::kQv600);
  auto later = sim::AttachScanner(sim::Model::kQv630);
  auto device = NewDevice();
  ASSERT_EQ(device->Connect(), 1);
  auto starts = SimScript().Starts();
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0].modelClass, "Qv600");
  EXPECT_FALSE(starts[0].hasFile);
  EXPECT_EQ(starts[1].modelClass, "Qv630");
  // The failed QV600 model was gone before the QV630 one was made, and its transport is closed.
  EXPECT_EQ(SimScript().maxLive.load(), 1);
  EXPECT_EQ(first->sessionsOpened(), first->sessionsClosed());
  EXPECT_EQ(later->sessionsOpened(), later->sessionsClosed() + 1);
}

TEST_F(ConnectTest, NothingAttachedTriesEveryNameAndLeavesNothingOpen) {
  testing::SimModelClasses classes;
  plat::DebugOutputCapture log;
  auto device = NewDevice();
  EXPECT_EQ(device->Connect(), 0);
  EXPECT_NE(log.Text().find("Connected: No\n"), std::string::npos);
  EXPECT_EQ(log.Text().find("Device: "), std::string::npos);
  size_t opens = 0;
  for (const auto& record : drv::DeviceRegistry::Instance().Trace()) {
    EXPECT_EQ(record.kind, drv::CallKind::kOpen);
    EXPECT_FALSE(record.ok);
    ++opens;
  }
  EXPECT_EQ(opens, 1u + 6u * 15u);
  EXPECT_EQ(SimScript().live.load(), 0);
  EXPECT_TRUE(SimScript().Starts().empty());
}

}  // namespace
}  // namespace qv6
