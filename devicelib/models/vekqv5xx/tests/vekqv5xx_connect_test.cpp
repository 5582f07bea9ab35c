// Connecting an RM 70 or RM 70 KF through the exported interface: a scanner that runs only its boot loader
// receives the package's firmware records and FPGA image, comes back running that firmware, takes its
// configuration and connects (event 0); a scanner already running the package's firmware gets no download.
#include <gtest/gtest.h>

#include <array>

#include "../../later/tests/later_scanner_fixture.h"
#include "exported_connect_fixture.h"
#include "identity/identity_block.h"
#include "platform/clock.h"
#include "qv6/qv6dll.h"
#include "qv6/vekqv5xx/vekqv500_model.h"
#include "sim/catalog.h"
#include "sim/firmware_package_builder.h"
#include "sim/vekqv5xx_device.h"

namespace qv6 {
namespace {

using testing::g_connected;
using testing::OnConnect;
using testing::WaitFor;

class VekQv5xxConnectTest : public testing::ExportedConnectTest,
                            public ::testing::WithParamInterface<sim::Model> {
 protected:
  VekQv5xxConnectTest() : ExportedConnectTest("vekqv5xx_connect") {}
  void SetUp() override {
    ASSERT_FALSE(VEKQv5xxModelClasses().empty());  // registered too
    plat::UseScaledClock(10);
    ExportedConnectTest::SetUp();
  }
  void TearDown() override {
    if (index_ > 0) QV6CloseConnection(index_);
    ExportedConnectTest::TearDown();
    plat::UseRealClock();
  }
  void Attach(sim::Firmware firmware) {
    device_ = std::static_pointer_cast<sim::VekQv5xxDevice>(sim::AttachScanner(GetParam(), {}, firmware));
  }
  void Open() {
    index_ = QV6OpenConnection(1, 0, 0);
    ASSERT_GT(index_, 0);
    QV6SetEventFunction(index_, 0, &OnConnect);
  }
  std::string Version() const {
    std::array<char, 256> info{};
    if (QV6GetInfo(index_, info.data(), static_cast<int>(info.size())) != 1) return "?";
    CQv6Info identity(reinterpret_cast<const uint8_t*>(info.data()), info.size());
    return identity.version();
  }

  std::shared_ptr<sim::VekQv5xxDevice> device_;
  sim::PackageParts package_ = sim::StandardPackage("VEK Corp.", "1.2.3.4");
  int index_ = 0;
};

TEST_P(VekQv5xxConnectTest, BootLoaderScannerIsUpdatedThenConnects) {
  Attach(sim::Firmware::kBootLoader);
  sim::WritePackage(sim::Info(GetParam()).firmwarePackage, package_);
  Open();
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));
  EXPECT_EQ(device_->FirmwareDownloads(), 1);
  EXPECT_EQ(device_->FpgaImage(), package_.fpga1);
  EXPECT_EQ(Version(), "1.2.3.4");
  // The configuration went in after the update: the acquisition blocks 64 to 68.
  for (uint16_t type = 64; type <= 68; ++type)
    EXPECT_FALSE(testing::BlocksOfType(*device_, type).empty()) << type;
}

TEST_P(VekQv5xxConnectTest, UpToDateScannerConnectsWithoutDownload) {
  Attach(sim::Firmware::kRunning);
  sim::Identity identity = device_->identity();
  identity.version = "1.2.3.4";
  device_->SetIdentity(identity);
  sim::WritePackage(sim::Info(GetParam()).firmwarePackage, package_);
  Open();
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));
  EXPECT_EQ(device_->FirmwareDownloads(), 0);
  EXPECT_TRUE(device_->FpgaImage().empty());
}

INSTANTIATE_TEST_SUITE_P(Models, VekQv5xxConnectTest,
                         ::testing::Values(sim::Model::kRm70, sim::Model::kRm70Kf),
                         [](const auto& info) { return std::string(sim::Info(info.param).name); });

}  // namespace
}  // namespace qv6
