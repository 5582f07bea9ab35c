// Firmware update at connection against the simulated QV63x controller: what a boot-loader scanner is
// sent, that an up-to-date scanner is left alone, the decision over the identity texts, and the failures
// (no package, a scanner that never comes back after its reset).
#include "qv6/later/firmware_update.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>

#include "driver/device_registry.h"
#include "firmware/version_text.h"
#include "sim/firmware_package_builder.h"
#include "identity/identity_block.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "qv6/models/firmware_package.h"
#include "recording_view.h"
#include "sim/catalog.h"
#include "sim/qv63x_device.h"
#include "testkit/support/scratch_dir.h"
#include "transport/driver_layer.h"

namespace qv6 {
namespace {

using sim::PackageParts;

constexpr const char* kVek = "VEK Corporation";

using testing::RecordingView;

class FirmwareUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    plat::UseVirtualClock(0, true);
    package_ = sim::StandardPackage(kVek, "1.2.3.4");
  }
  void TearDown() override {
    commands_.reset();
    transport_.Close();
    drv::DeviceRegistry::Instance().Reset();
    plat::UseRealClock();
    std::filesystem::current_path(old_);
  }
  void Attach(sim::Model model, sim::Firmware firmware) {
    commands_.reset();
    transport_.Close();
    drv::DeviceRegistry::Instance().Reset();
    DriverLayer::Reset();
    device_ = std::static_pointer_cast<sim::Qv63xDevice>(sim::AttachScanner(model, {}, firmware));
    ASSERT_EQ(transport_.Open(), 1);
    commands_ = std::make_unique<Qv630Commands>(transport_);
  }
  // Identifies the scanner as connecting does and runs the update with its texts.
  int Update(const char* file, RecordingView* view = nullptr) {
    std::array<uint8_t, 256> identity{};
    EXPECT_EQ(commands_->Identify(identity.data(), identity.size()), 1);
    CQv6Info info(identity.data(), identity.size());
    FirmwareUpdateOptions options;
    options.view = view;
    return UpdateLaterFirmware(*commands_, file, info.state(), info.version(), info.manufacturer(), options);
  }
  sim::Identity Running() const { return device_->identity(); }

  zc::testkit::ScratchDir scratch_{"fwupdate"};
  std::filesystem::path dir_ = scratch_.Path();
  std::filesystem::path old_;
  PackageParts package_;
  std::shared_ptr<sim::Qv63xDevice> device_;
  ScannerQV63xInterface transport_;
  std::unique_ptr<Qv630Commands> commands_;
};

TEST_F(FirmwareUpdateTest, BootLoaderScannerReceivesLoaderFirmwareAndItsFpgaImage) {
  // A QV630 with boot product 23 reports the state "SD" and so takes the second FPGA image; a QV625 with
  // boot product 22 reports "DR" and takes the first.
  struct Case {
    sim::Model model;
    const char* file;
    bool secondImage;
  };
  for (const Case& c : {Case{sim::Model::kQv630, "QV630Firmware.bin", true},
                        Case{sim::Model::kQv625, "QV625Firmware.bin", false}}) {
    SCOPED_TRACE(c.file);
    Attach(c.model, sim::Firmware::kBootLoader);
    sim::WritePackage(c.file, package_);
    device_->SetReenumeration("\\\\.\\KScanDrv-0", 3);
    RecordingView view;

    ASSERT_EQ(Update(c.file, &view), 1);
    EXPECT_EQ(device_->FirmwareStage(), sim::FirmwareLoader::Stage::kFirmware);
    EXPECT_EQ(device_->FirmwareDownloads(), 1);
    EXPECT_EQ(Running().manufacturer, kVek);
    EXPECT_EQ(Running().version, "1.2.3.4");
    EXPECT_EQ(device_->FpgaImage(), c.secondImage ? package_.fpga2 : package_.fpga1);
    EXPECT_FALSE(device_->CpuInReset());
    EXPECT_EQ(view.texts, (std::vector<std::string>{"Loading firmware", "Loading FPGA"}));
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_FALSE(view.rows[0].alreadyLoaded);
    EXPECT_FALSE(view.rows[0].notFound);
    EXPECT_EQ(view.rows[0].scannerVersion, "99.99.99.99");
    EXPECT_EQ(view.rows[0].version, "1.2.3.4");

    // Connected again, the scanner runs the package's firmware: nothing more is sent.
    ASSERT_EQ(Update(c.file), 1);
    EXPECT_EQ(device_->FirmwareDownloads(), 1);
  }
}

TEST_F(FirmwareUpdateTest, UpToDateScannerGetsNoDownload) {
  Attach(sim::Model::kQv630, sim::Firmware::kRunning);
  sim::Identity identity = Running();
  identity.version = "1.2.3.4";
  device_->SetIdentity(identity);
  sim::WritePackage("QV630Firmware.bin", package_);
  RecordingView view;

  ASSERT_EQ(Update("QV630Firmware.bin", &view), 1);
  EXPECT_EQ(device_->FirmwareDownloads(), 0);
  EXPECT_TRUE(device_->FpgaImage().empty());
  EXPECT_TRUE(view.texts.empty());
  ASSERT_EQ(view.rows.size(), 1u);
  EXPECT_TRUE(view.rows[0].alreadyLoaded);
}

TEST_F(FirmwareUpdateTest, DecisionFollowsTheIdentityTexts) {
  // Texts that are missing, too short or not in the package, in that order, mean a download.
  struct Case {
    const char* state;
    const char* version;
    const char* manufacturer;
    bool download;
  };
  const Case cases[] = {
      {"OK", "1.2.3.4", kVek, false},      {"OK", "0", kVek, true},  // an unknown product's default identity
      {"OK", "99.99.99.99", kVek, true},                             // boot loader
      {"O", "1.2.3.4", kVek, true},                                  // state text of one character
      {nullptr, "1.2.3.4", kVek, true},                              //
      {"OK", "1.2.3.4", "", true},          // an empty maker would match any zero byte
      {"OK", "1.2.3.4", nullptr, true},     //
      {"OK", "1.2.3.4", "VEK Corp", true},  // must be followed by its zero byte
  };
  sim::WritePackage("QV630Firmware.bin", package_);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " / " + (c.manufacturer ? c.manufacturer : "(null)"));
    Attach(sim::Model::kQv630, sim::Firmware::kRunning);
    ASSERT_EQ(UpdateLaterFirmware(*commands_, "QV630Firmware.bin", c.state, c.version, c.manufacturer), 1);
    EXPECT_EQ(device_->FirmwareDownloads(), c.download ? 1 : 0);
  }
}

TEST_F(FirmwareUpdateTest, ManufacturerBehindTheVersionIsNotUpToDate) {
  package_.firmware = sim::RecordList(0x1F80, sim::FirmwareImage("1.2.3.4", "VEK Corporation"));
  CQv620FilesBuilderSplitter reader;
  ASSERT_EQ(reader.LoadBytes(sim::BuildPackage(package_)), 1);
  EXPECT_EQ(reader.ContainsStringPair("1.2.3.4", kVek), 1);
  EXPECT_EQ(reader.ContainsStringPair(kVek, "1.2.3.4"), 0);

  sim::WritePackage("QV630Firmware.bin", package_);
  Attach(sim::Model::kQv630, sim::Firmware::kRunning);
  ASSERT_EQ(UpdateLaterFirmware(*commands_, "QV630Firmware.bin", "OK", "1.2.3.4", kVek), 1);
  EXPECT_EQ(device_->FirmwareDownloads(), 1);
}

TEST_F(FirmwareUpdateTest, HighestVersionedPackageBesideTheConfiguredNameIsLoaded) {
  PackageParts older = sim::StandardPackage(kVek, "1.1.0.0");
  sim::WritePackage("QV630Firmware_v1.1.0.0.bin", older);
  sim::WritePackage("qv630firmware_V1.2.3.4.BIN", package_);
  Attach(sim::Model::kQv630, sim::Firmware::kBootLoader);
  RecordingView view;
  ASSERT_EQ(Update("QV630Firmware.bin", &view), 1);
  EXPECT_EQ(Running().version, "1.2.3.4");
  ASSERT_EQ(view.rows.size(), 1u);
  EXPECT_EQ(view.rows[0].file, "QV630Firmware.bin");
  EXPECT_NE(view.rows[0].path.find("V1.2.3.4.BIN"), std::string::npos);
}

TEST_F(FirmwareUpdateTest, FailuresLeaveTheScannerUnused) {
  // No package: nothing is sent, whatever the scanner runs.
  for (sim::Firmware firmware : {sim::Firmware::kBootLoader, sim::Firmware::kRunning}) {
    Attach(sim::Model::kQv630, firmware);
    RecordingView view;
    EXPECT_EQ(Update("QV630Firmware.bin", &view), 0);
    EXPECT_EQ(device_->FirmwareDownloads(), 0);
    EXPECT_FALSE(device_->CpuInReset());
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_TRUE(view.rows[0].notFound);
    EXPECT_TRUE(view.texts.empty());
  }

  sim::WritePackage("QV630Firmware.bin", package_);
  // A package whose firmware list has no end record is refused before anything is written.
  PackageParts broken = package_;
  broken.firmware.resize(broken.firmware.size() - 20);
  sim::WritePackage("Broken.bin", broken);
  Attach(sim::Model::kQv630, sim::Firmware::kBootLoader);
  EXPECT_EQ(Update("Broken.bin"), 0);
  EXPECT_NE(device_->FirmwareStage(), sim::FirmwareLoader::Stage::kFirmware);
  EXPECT_TRUE(device_->FpgaImage().empty());

  // A scanner that never comes back after the loader's reset.
  Attach(sim::Model::kQv630, sim::Firmware::kBootLoader);
  device_->SetReenumeration("\\\\.\\KScanDrv-0", UINT32_MAX);
  EXPECT_EQ(Update("QV630Firmware.bin"), 0);
  EXPECT_EQ(device_->FirmwareDownloads(), 0);
  EXPECT_TRUE(device_->FpgaImage().empty());
}

TEST_F(FirmwareUpdateTest, SeriesRuleDecides) {
  // A rule that keeps the scanner's firmware when no package loads, as a load-mode series may.
  Attach(sim::Model::kQv630, sim::Firmware::kRunning);
  FirmwareUpdateOptions options;
  FirmwareFacts seen;
  options.rule = [&seen](const FirmwareFacts& facts) {
    seen = facts;
    return FirmwareDecision{};
  };
  sim::WritePackage("QV630Firmware_v1.3.0.0.bin", package_);
  EXPECT_EQ(UpdateLaterFirmware(*commands_, "QV630Firmware.bin", "OK", "1.2.0.0", kVek, options), 1);
  EXPECT_TRUE(seen.packageLoaded);
  EXPECT_TRUE(seen.textsUsable);
  EXPECT_FALSE(seen.packageHoldsTexts);
  EXPECT_EQ(seen.fileVersion, PackVersion(1, 3, 0, 0));
  EXPECT_EQ(seen.scannerVersion, PackVersion(1, 2, 0, 0));
  EXPECT_EQ(UpdateLaterFirmware(*commands_, "QV630Firmware.bin", "SD", "99.99.99.99", kVek, options), 1);
  EXPECT_EQ(seen.scannerVersion, 0u);
  // A missing or empty manufacturer bounds only the package search: the version rules still read the texts.
  for (const char* maker : {"", static_cast<const char*>(nullptr), "V"}) {
    SCOPED_TRACE(maker != nullptr ? maker : "(null)");
    seen = {};
    EXPECT_EQ(UpdateLaterFirmware(*commands_, "QV630Firmware.bin", "OK", "1.2.0.0", maker, options), 1);
    EXPECT_TRUE(seen.textsUsable);
    EXPECT_FALSE(seen.packageHoldsTexts);
    EXPECT_EQ(seen.scannerVersion, PackVersion(1, 2, 0, 0));
  }
  EXPECT_EQ(device_->FirmwareDownloads(), 0);

  EXPECT_EQ(Qv63xFirmwareRule({false, true, false, 0, 0}).fail, true);
  EXPECT_EQ(Qv63xFirmwareRule({true, false, false, 0, 0}).download, true);
}

TEST(Qv64xFirmwareRule, LoadModeTable) {
  constexpr uint64_t k120 = PackVersion(1, 2, 0, 0);
  constexpr uint64_t k130 = PackVersion(1, 3, 0, 0);
  struct Case {
    const char* what;
    int mode;
    FirmwareFacts facts;  // loaded, texts usable, holds texts, file version, scanner version
    bool download;
    bool fail;
  } cases[] = {
      {"mode 1 downloads", 1, {true, true, true, k120, k120}, true, false},
      {"mode 1 without a package fails", 1, {false, true, false, 0, k120}, false, true},
      {"mode 2 newer file", 2, {true, true, false, k130, k120}, true, false},
      {"mode 2 same version", 2, {true, true, false, k120, k120}, false, false},
      {"mode 2 boot loader, unversioned file", 2, {true, true, false, 0, 0}, false, false},
      {"mode 2 without a package keeps the firmware", 2, {false, true, false, 0, k120}, false, false},
      {"mode 3 package holds the texts", 3, {true, true, true, 0, k120}, false, false},
      {"mode 3 package lacks the texts", 3, {true, true, false, 0, k120}, true, false},
      {"mode 5 never downloads", 5, {true, true, false, k130, k120}, false, false},
      {"mode 0 never downloads", 0, {true, true, false, k130, k120}, false, false},
      {"texts out of bounds download in any mode", 5, {true, false, false, 0, 0}, true, false},
      {"texts out of bounds without a package fail", 2, {false, false, false, 0, 0}, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FirmwareDecision d = Qv64xFirmwareRule(c.mode, c.facts);
    EXPECT_EQ(d.download, c.download);
    EXPECT_EQ(d.fail, c.fail);
    EXPECT_EQ(d.fpgaOpenValue, c.mode == 1 ? 0 : 1);
  }
}

TEST_F(FirmwareUpdateTest, FpgaTransferOpensWithTheRulesValue) {
  sim::WritePackage("QV630Firmware.bin", package_);
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    Attach(sim::Model::kQv630, sim::Firmware::kBootLoader);
    device_->SetReenumeration("\\\\.\\KScanDrv-0", 1);
    std::array<uint8_t, 256> identity{};
    ASSERT_EQ(commands_->Identify(identity.data(), identity.size()), 1);
    CQv6Info info(identity.data(), identity.size());
    FirmwareUpdateOptions options;
    options.rule = [mode](const FirmwareFacts& facts) {
      FirmwareFacts f = facts;
      f.fileVersion = PackVersion(1, 0, 0, 0);  // newer than the boot loader's 0
      return Qv64xFirmwareRule(mode, f);
    };
    ASSERT_EQ(UpdateLaterFirmware(*commands_, "QV630Firmware.bin", info.state(), info.version(),
                                  info.manufacturer(), options),
              1);
    EXPECT_EQ(device_->FirmwareDownloads(), 1);
    EXPECT_EQ(device_->FpgaOpenValue(), mode == 1 ? 0 : 1);
    EXPECT_EQ(device_->FpgaImage(), package_.fpga2);
  }
}

}  // namespace
}  // namespace qv6
