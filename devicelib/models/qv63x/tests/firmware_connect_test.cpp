// Firmware at connection through the exported interface: the polling thread finds a QV630 that runs only
// its boot loader, brings loader, firmware and FPGA image over, and connects it with its configuration; a
// scanner that already runs the package's firmware connects without a download; without a package the
// scanner stays unconnected and the polling thread keeps probing until one appears.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "driver/device_registry.h"
#include "firmware_package_builder.h"
#include "identity/identity_block.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "qv6/qv63x/qv63x_models.h"
#include "qv6/qv6dll.h"
#include "sim/catalog.h"
#include "sim/qv63x_device.h"
#include "testkit/support/scratch_dir.h"
#include "transport/driver_layer.h"

namespace qv6 {
namespace {

constexpr const char* kDeviceName = "\\\\.\\KScanDrv-0";
constexpr uint8_t kOpMechLoaded = 4;

std::atomic<int> g_connected{0};

void OnConnect(int, intptr_t) {
  ++g_connected;
}

template <class Pred>
bool WaitFor(Pred pred, int rounds = 1000) {
  for (int i = 0; i < rounds; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return pred();
}

class FirmwareConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    plat::SetFolder(plat::Folder::kWindows, dir_.string());
    plat::SetFolder(plat::Folder::kTemp, dir_.string());
    // The download's waits (resets, reopening, the FPGA's settling) pass ten times faster.
    plat::UseScaledClock(10);
    std::ofstream(dir_ / "Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    drv::DeviceRegistry::Instance().Reset();
    DriverLayer::Reset();
    ASSERT_EQ(Qv63xModelClasses().size(), 4u);
    g_connected = 0;
  }
  void TearDown() override {
    if (index_ > 0) QV6CloseConnection(index_);
    drv::DeviceRegistry::Instance().Reset();
    plat::UseRealClock();
    plat::SetFolder(plat::Folder::kWindows, "");
    plat::SetFolder(plat::Folder::kTemp, "");
    std::filesystem::current_path(old_);
  }
  void Attach(sim::Firmware firmware) {
    device_ =
        std::static_pointer_cast<sim::Qv63xDevice>(sim::AttachScanner(sim::Model::kQv630, {}, firmware));
  }
  void Open() {
    index_ = QV6OpenConnection(1, 0, 0);
    ASSERT_GT(index_, 0);
    QV6SetEventFunction(index_, 0, &OnConnect);
  }
  size_t CommandCount(uint8_t opcode) const {
    auto commands = device_->CommandsReceived();
    return static_cast<size_t>(std::count_if(commands.begin(), commands.end(), [opcode](const auto& c) {
      return c.size() >= 2 && c[1] == opcode;
    }));
  }
  // Mechanical sections (types 64 to 70) the scanner received.
  size_t SectionsReceived() const {
    auto blocks = device_->BlocksReceived();
    return static_cast<size_t>(std::count_if(blocks.begin(), blocks.end(), [](const auto& b) {
      return b.size() >= 4 && b[0] == 0 && b[1] >= 64 && b[1] <= 70;
    }));
  }

  zc::testkit::ScratchDir scratch_{"qv63x_fwconnect"};
  std::filesystem::path dir_ = scratch_.Path();
  std::filesystem::path old_;
  std::shared_ptr<sim::Qv63xDevice> device_;
  testing::PackageParts package_ = testing::StandardPackage("VEK Corporation", "1.2.3.4");
  int index_ = 0;
};

TEST_F(FirmwareConnectTest, BootLoaderScannerIsUpdatedThenConnectsWithItsConfiguration) {
  Attach(sim::Firmware::kBootLoader);
  device_->SetReenumeration(kDeviceName, 3);
  testing::WritePackage("QV630Firmware.bin", package_);
  Open();
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));

  EXPECT_EQ(device_->FirmwareStage(), sim::FirmwareLoader::Stage::kFirmware);
  EXPECT_EQ(device_->FirmwareDownloads(), 1);
  EXPECT_EQ(device_->FpgaImage(), package_.fpga2);  // the boot loader's state text "SD" picks image 2
  EXPECT_EQ(SectionsReceived(), 7u);
  EXPECT_EQ(CommandCount(kOpMechLoaded), 1u);

  std::array<char, 256> info{};
  ASSERT_EQ(QV6GetInfo(index_, info.data(), static_cast<int>(info.size())), 1);
  CQv6Info identity(reinterpret_cast<const uint8_t*>(info.data()), info.size());
  EXPECT_STREQ(identity.version(), "1.2.3.4");  // the package's firmware now runs
  EXPECT_STREQ(identity.model(), "Orvisca Scanner Qv630");
  int status = 0, errors = 0;
  EXPECT_EQ(QV6GetStatus(index_, &status, &errors), 1);
  EXPECT_NE(static_cast<uint32_t>(status) & 0x80000000u, 0u);
}

TEST_F(FirmwareConnectTest, UpToDateScannerConnectsWithoutDownload) {
  Attach(sim::Firmware::kRunning);
  sim::Identity identity = device_->identity();
  identity.version = "1.2.3.4";
  device_->SetIdentity(identity);
  testing::WritePackage("QV630Firmware.bin", package_);
  Open();
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));

  EXPECT_EQ(device_->FirmwareDownloads(), 0);
  EXPECT_TRUE(device_->FpgaImage().empty());
  EXPECT_FALSE(device_->CpuInReset());
  EXPECT_EQ(SectionsReceived(), 7u);
  EXPECT_EQ(CommandCount(kOpMechLoaded), 1u);
}

TEST_F(FirmwareConnectTest, WithoutPackageTheScannerStaysUnconnectedAndProbingGoesOn) {
  Attach(sim::Firmware::kBootLoader);
  Open();
  auto& registry = drv::DeviceRegistry::Instance();
  // Every later series opens the same device in each probe round: wait for several rounds.
  ASSERT_TRUE(WaitFor([&] { return registry.OpenCount(kDeviceName) >= 30; }));
  EXPECT_EQ(g_connected.load(), 0);
  EXPECT_EQ(device_->FirmwareDownloads(), 0);
  EXPECT_EQ(SectionsReceived(), 0u);
  EXPECT_EQ(CommandCount(kOpMechLoaded), 0u);

  // The package appears: the next probe updates and connects the scanner.
  testing::WritePackage("QV630Firmware.bin", package_);
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));
  EXPECT_EQ(device_->FirmwareDownloads(), 1);
}

}  // namespace
}  // namespace qv6
