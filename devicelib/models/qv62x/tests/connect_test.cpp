// QV62x scanners connecting through the exported interface: a boot-loader QV602 is brought up to date
// (loader, firmware, FPGA image, re-enumeration) and then configured; an up-to-date scanner gets only the
// configuration steps; without a package a boot-loader scanner stays unconnected. A connected QV620 scans
// through QV6EnableScan, loses its link when unplugged and scans again when it is back.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "driver/device_registry.h"
#include "identity/identity_block.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "qv6/qv62x/qv62x_models.h"
#include "qv6/qv6dll.h"
#include "sim/catalog.h"
#include "sim/firmware_package_builder.h"
#include "sim/qv62x_device.h"
#include "sim/qv62x_document_feeder.h"
#include "testkit/support/scratch_dir.h"
#include "transport/driver_layer.h"

namespace qv6 {
namespace {

constexpr const char* kDeviceName = "\\\\.\\KScanDrv-0";

std::atomic<int> g_connected{0};
std::atomic<int> g_disconnected{0};
std::mutex g_mutex;
std::vector<int> g_events;

void OnConnect(int, intptr_t) {
  ++g_connected;
}
void OnDisconnect(int, intptr_t) {
  ++g_disconnected;
}
void OnDocumentEvent(int event, intptr_t) {
  std::lock_guard lock(g_mutex);
  g_events.push_back(event);
}

template <class Pred>
bool WaitFor(Pred pred) {
  for (int i = 0; i < 1000; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return pred();
}

class Qv62xConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Qv62xModelClasses().size(), 3u);  // the model classes are registered
    // The download's waits (resets, reopening) pass ten times faster.
    plat::UseScaledClock(10);
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    plat::SetFolder(plat::Folder::kWindows, dir_.string());
    plat::SetFolder(plat::Folder::kTemp, dir_.string());
    std::ofstream(dir_ / "Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    drv::DeviceRegistry::Instance().Reset();
    DriverLayer::Reset();
    g_connected = 0;
    g_disconnected = 0;
    std::lock_guard lock(g_mutex);
    g_events.clear();
  }
  void TearDown() override {
    if (index_ > 0) QV6CloseConnection(index_);
    drv::DeviceRegistry::Instance().Reset();
    plat::SetFolder(plat::Folder::kWindows, "");
    plat::SetFolder(plat::Folder::kTemp, "");
    std::filesystem::current_path(old_);
    plat::UseRealClock();
  }
  void Attach(sim::Model which, sim::Firmware firmware) {
    device_ = std::static_pointer_cast<sim::Qv62xDevice>(sim::AttachScanner(which, {}, firmware));
  }
  void Open() {
    index_ = QV6OpenConnection(1, 0, 0);
    ASSERT_GT(index_, 0);
    QV6SetEventFunction(index_, 1, &OnDisconnect);
    QV6SetEventFunction(index_, 0, &OnConnect);
  }
  size_t Commands(uint8_t opcode) const {
    size_t n = 0;
    for (const auto& c : device_->CommandsReceived()) n += c.size() >= 2 && c[1] == opcode ? 1 : 0;
    return n;
  }
  size_t Sections() const {
    size_t n = 0;
    for (const auto& b : device_->BlocksReceived()) {
      const int type = b.size() >= 2 ? (b[0] << 8) | b[1] : 0;
      n += type >= 64 && type <= 68 ? 1 : 0;
    }
    return n;
  }

  zc::testkit::ScratchDir scratch_{"qv62x_connect"};
  std::filesystem::path dir_ = scratch_.Path();
  std::filesystem::path old_;
  std::shared_ptr<sim::Qv62xDevice> device_;
  int index_ = 0;
};

TEST_F(Qv62xConnectTest, BootLoaderQv602IsUpdatedThenConfigured) {
  Attach(sim::Model::kKwl602, sim::Firmware::kBootLoader);
  // After each release the scanner is off the bus for 49 opens: the 50th attempt finds it.
  device_->SetReenumeration(kDeviceName, 49);
  const sim::PackageParts package = sim::StandardPackage("KWL Ltd - Norda", "1.2.3.4");
  sim::WritePackage("QV602Firmware.bin", package);
  Open();
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));

  EXPECT_EQ(device_->FirmwareStage(), sim::FirmwareLoader::Stage::kFirmware);
  EXPECT_EQ(device_->FirmwareDownloads(), 1);
  EXPECT_EQ(device_->FpgaImage(), package.fpga1) << "the QV62x's single image";
  EXPECT_EQ(Sections(), 5u);
  EXPECT_EQ(Commands(4), 1u);
  std::array<char, 256> info{};
  ASSERT_EQ(QV6GetInfo(index_, info.data(), static_cast<int>(info.size())), 1);
  CQv6Info identity(reinterpret_cast<const uint8_t*>(info.data()), info.size());
  EXPECT_STREQ(identity.version(), "1.2.3.4");
}

TEST_F(Qv62xConnectTest, UpToDateScannerGetsOnlyTheConfigurationSteps) {
  Attach(sim::Model::kQv702, sim::Firmware::kRunning);
  sim::Identity identity = device_->identity();
  identity.manufacturer = "KWL Ltd - Norda";
  identity.version = "1.2.3.4";
  device_->SetIdentity(identity);
  sim::WritePackage("QV702Firmware.bin", sim::StandardPackage("KWL Ltd - Norda", "1.2.3.4"));
  Open();
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));
  EXPECT_EQ(device_->FirmwareDownloads(), 0);
  EXPECT_TRUE(device_->FpgaImage().empty());
  EXPECT_EQ(Sections(), 5u);
  // The QV702 reports the firmware check with command 4, and the loaded configuration with another.
  EXPECT_EQ(Commands(4), 2u);
}

TEST_F(Qv62xConnectTest, WithoutPackageABootLoaderScannerStaysUnconnected) {
  Attach(sim::Model::kKwl602, sim::Firmware::kBootLoader);
  Open();
  auto& registry = drv::DeviceRegistry::Instance();
  ASSERT_TRUE(WaitFor([&] { return registry.OpenCount(kDeviceName) >= 20; }));
  EXPECT_EQ(g_connected.load(), 0);
  EXPECT_EQ(device_->FirmwareDownloads(), 0);
  EXPECT_EQ(Sections(), 0u);
}

TEST_F(Qv62xConnectTest, DocumentThroughTheExportsThenUnplugAndBack) {
  Attach(sim::Model::kQv620, sim::Firmware::kRunning);
  sim::WritePackage("QV620Firmware.bin", sim::StandardPackage("VEK Corporation", "1.0.0.0"));
  sim::documents::DocumentStack stack(9);
  stack.AddCheques(2);
  auto feeder =
      std::make_shared<sim::Qv62xDocumentFeeder>(std::move(stack), sim::Qv62xLayoutOf(false, false));
  device_->SetDocumentSource(feeder);
  Open();
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));
  for (int e = 3; e <= 6; ++e) QV6SetEventFunction(index_, e, &OnDocumentEvent);
  std::ofstream("scan.ini") << "[QV600 CONFIG]\n";
  ASSERT_EQ(QV6InitDeviceFromFile(index_, "scan.ini", nullptr), 1);
  QV6SetEventFunction(index_, 2, &OnDocumentEvent);

  auto scanOne = [&] {
    {
      std::lock_guard lock(g_mutex);
      g_events.clear();
    }
    ASSERT_EQ(QV6EnableScan(index_), 1);
    ASSERT_TRUE(WaitFor([] {
      std::lock_guard lock(g_mutex);
      return g_events.size() >= 5;
    }));
    std::vector<int> events;
    {
      // Not held across the export: the polling thread raises events under the device's lock.
      std::lock_guard lock(g_mutex);
      events.assign(g_events.begin(), g_events.begin() + 5);
    }
    EXPECT_EQ(events, (std::vector<int>{6, 3, 4, 5, 2}));
    EXPECT_NE(QV6GetFrontImageDIBPtr(index_), nullptr);
  };
  scanOne();

  // Unplugged: event 1; back on the bus: event 0, and the next document scans.
  drv::DeviceRegistry::Instance().Detach(kDeviceName);
  ASSERT_TRUE(WaitFor([] { return g_disconnected.load() == 1; }));
  drv::DeviceRegistry::Instance().Attach(kDeviceName, device_);
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 2; }));
  ASSERT_EQ(QV6InitDeviceFromFile(index_, "scan.ini", nullptr), 1);
  scanOne();
}

}  // namespace
}  // namespace qv6
