// Connecting a KQv8 through the exported interface: a scanner that runs only its boot loader receives
// loader and firmware through the shared firmware loader, comes back with the package's firmware, has its
// EEPROM image read and its configuration sent, and connects (event 0); its image, larger than the other
// series' limit, is written and read back equal. A scanner already running the package's firmware gets no
// download; without a package it stays unconnected until one appears.
#include <gtest/gtest.h>

#include <array>

#include "exported_connect_fixture.h"
#include "identity/identity_block.h"
#include "platform/clock.h"
#include "qv6/kqv8x/kqv8_model.h"
#include "qv6/qv6dll.h"
#include "sim/catalog.h"
#include "sim/firmware_package_builder.h"
#include "sim/kqv8x_device.h"
#include "sim_scanner.h"

namespace qv6 {
namespace {

using testing::g_connected;
using testing::OnConnect;
using testing::WaitFor;

constexpr const char* kDeviceName = "\\\\.\\KScanDrv-0";
constexpr const char* kPackage = "KQv8Firmware.bin";
constexpr uint8_t kOpMechLoaded = 4;

class KQv8ConnectTest : public testing::ExportedConnectTest {
 protected:
  KQv8ConnectTest() : ExportedConnectTest("kqv8x_connect") {}
  void SetUp() override {
    ASSERT_EQ(KQv8xModelClasses().size(), 1u);  // registered too
    plat::UseScaledClock(10);
    ExportedConnectTest::SetUp();
  }
  void TearDown() override {
    if (index_ > 0) QV6CloseConnection(index_);
    ExportedConnectTest::TearDown();
    plat::UseRealClock();
  }
  void Attach(sim::Firmware firmware) {
    device_ = std::static_pointer_cast<sim::KQv8xDevice>(sim::AttachScanner(sim::Model::kKQv8, {}, firmware));
    device_->SetReenumeration(kDeviceName, 3);
  }
  void Open() {
    index_ = QV6OpenConnection(1, 0, 0);
    ASSERT_GT(index_, 0);
    QV6SetEventFunction(index_, 0, &OnConnect);
  }
  size_t SectionsReceived() const {
    size_t n = 0;
    for (uint16_t type = 64; type <= 70; ++type) n += testing::BlocksOfType(*device_, type).size();
    return n;
  }
  size_t CommandCount(uint8_t opcode) const { return testing::CommandsOfOpcode(*device_, opcode).size(); }

  std::shared_ptr<sim::KQv8xDevice> device_;
  sim::PackageParts package_ = sim::StandardPackage("KWL - Norda", "1.2.3.4");
  int index_ = 0;
};

TEST_F(KQv8ConnectTest, BootLoaderScannerIsUpdatedThenConnectsWithItsConfiguration) {
  Attach(sim::Firmware::kBootLoader);
  sim::WritePackage(kPackage, package_);
  Open();
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));

  EXPECT_EQ(device_->FirmwareStage(), sim::FirmwareLoader::Stage::kFirmware);
  EXPECT_EQ(device_->FirmwareDownloads(), 1);
  EXPECT_EQ(SectionsReceived(), 6u);  // 64 to 69, no 70
  EXPECT_TRUE(testing::BlocksOfType(*device_, 70).empty());
  EXPECT_EQ(CommandCount(kOpMechLoaded), 1u);
  std::array<char, 256> info{};
  ASSERT_EQ(QV6GetInfo(index_, info.data(), static_cast<int>(info.size())), 1);
  CQv6Info identity(reinterpret_cast<const uint8_t*>(info.data()), info.size());
  EXPECT_STREQ(identity.version(), "1.2.3.4");
  EXPECT_STREQ(identity.model(), "KWL Scanner KQv8");

  // The configuration goes back into the scanner's image, beyond what the other series can hold.
  ASSERT_EQ(QV6GetMechConfig(index_, "mech.ini", 0), 1);
  ASSERT_EQ(QV6SetMechConfig(index_, "mech.ini", 1), 1);
  const std::vector<uint8_t> eeprom = device_->Eeprom();
  const uint32_t used = (eeprom[0] | eeprom[1] << 8 | eeprom[2] << 16 | uint32_t{eeprom[3]} << 24) +
                        (eeprom[4] | eeprom[5] << 8 | eeprom[6] << 16 | uint32_t{eeprom[7]} << 24);
  EXPECT_GT(used, 0x6F00u);
  EXPECT_LT(used, 0xF000u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(eeprom.data()) + 72, 5), std::string("KQV8\0", 5));
}

TEST_F(KQv8ConnectTest, UpToDateScannerConnectsWithoutDownload) {
  Attach(sim::Firmware::kRunning);
  sim::Identity identity = device_->identity();
  identity.version = "1.2.3.4";
  device_->SetIdentity(identity);
  sim::WritePackage(kPackage, package_);
  Open();
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));
  EXPECT_EQ(device_->FirmwareDownloads(), 0);
  EXPECT_EQ(SectionsReceived(), 6u);
  EXPECT_EQ(CommandCount(kOpMechLoaded), 1u);
}

TEST_F(KQv8ConnectTest, WithoutPackageTheScannerStaysUnconnectedUntilOneAppears) {
  Attach(sim::Firmware::kBootLoader);
  Open();
  auto& registry = drv::DeviceRegistry::Instance();
  ASSERT_TRUE(WaitFor([&] { return registry.OpenCount(kDeviceName) >= 30; }));
  EXPECT_EQ(g_connected.load(), 0);
  EXPECT_EQ(device_->FirmwareDownloads(), 0);
  EXPECT_EQ(SectionsReceived(), 0u);

  // The package appears: the next probe updates and connects the scanner.
  sim::WritePackage(kPackage, package_);
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));
  EXPECT_EQ(device_->FirmwareDownloads(), 1);
}

}  // namespace
}  // namespace qv6
