// Firmware at connection through the exported interface: the polling thread finds a QV630 that runs only
// its boot loader, brings loader, firmware and FPGA image over, and connects it with its configuration; a
// scanner that already runs the package's firmware connects without a download; without a package the
// scanner stays unconnected and the polling thread keeps probing until one appears.
#include <gtest/gtest.h>

#include <array>

#include "exported_connect_fixture.h"
#include "sim/firmware_package_builder.h"
#include "identity/identity_block.h"
#include "platform/clock.h"
#include "qv6/qv6dll.h"
#include "sim/catalog.h"
#include "sim/qv63x_device.h"
#include "sim_scanner.h"

namespace qv6 {
namespace {

using testing::g_connected;
using testing::OnConnect;
using testing::WaitFor;

constexpr const char* kDeviceName = "\\\\.\\KScanDrv-0";
constexpr uint8_t kOpMechLoaded = 4;

class FirmwareConnectTest : public testing::ExportedConnectTest {
 protected:
  FirmwareConnectTest() : ExportedConnectTest("qv63x_fwconnect") {}
  void SetUp() override {
    // The download's waits (resets, reopening, the FPGA's settling) pass ten times faster.
    plat::UseScaledClock(10);
    ExportedConnectTest::SetUp();
  }
  void TearDown() override {
    if (index_ > 0) QV6CloseConnection(index_);
    ExportedConnectTest::TearDown();
    plat::UseRealClock();
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
  size_t CommandCount(uint8_t opcode) const { return testing::CommandsOfOpcode(*device_, opcode).size(); }
  // Mechanical sections (types 64 to 70) the scanner received.
  size_t SectionsReceived() const {
    size_t n = 0;
    for (uint16_t type = 64; type <= 70; ++type) n += testing::BlocksOfType(*device_, type).size();
    return n;
  }

  std::shared_ptr<sim::Qv63xDevice> device_;
  sim::PackageParts package_ = sim::StandardPackage("VEK Corporation", "1.2.3.4");
  int index_ = 0;
};

TEST_F(FirmwareConnectTest, BootLoaderScannerIsUpdatedThenConnectsWithItsConfiguration) {
  Attach(sim::Firmware::kBootLoader);
  device_->SetReenumeration(kDeviceName, 3);
  sim::WritePackage("QV630Firmware.bin", package_);
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
  sim::WritePackage("QV630Firmware.bin", package_);
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
  sim::WritePackage("QV630Firmware.bin", package_);
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));
  EXPECT_EQ(device_->FirmwareDownloads(), 1);
}

}  // namespace
}  // namespace qv6
