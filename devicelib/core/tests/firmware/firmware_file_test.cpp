// Choosing the newest firmware file from the versions lying beside the configured name.
#include "firmware/firmware_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "firmware/version_text.h"
#include "platform/paths.h"
#include "testkit/support/scratch_dir.h"

namespace qv6 {
namespace {

namespace fs = std::filesystem;

class FirmwareFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(root_ / "fw");
    plat::SetDriveRoot(root_.string());
  }
  void TearDown() override { plat::ResetFolders(); }
  void Touch(const std::string& name) { std::ofstream(root_ / "fw" / name) << "x"; }

  zc::testkit::ScratchDir scratch_{"qv6fw"};
  fs::path root_ = scratch_.Path();
};

TEST_F(FirmwareFileTest, HighestVersionWins) {
  Touch("QV620Firmware.bin");
  Touch("QV620Firmware_v1.2.3.4.bin");
  Touch("QV620Firmware_v1.10.0.0.bin");
  Touch("QV620Firmware_V1.9.9.9.BIN");
  Touch("QV630Firmware_v9.0.0.0.bin");  // another model's file is not searched
  uint64_t version = 0;
  std::string result = FindLatestFirmwareFile("C:\\fw\\QV620Firmware.bin", &version);
  EXPECT_EQ(result, (root_ / "fw" / "QV620Firmware_v1.10.0.0.bin").string());
  EXPECT_EQ(version, PackVersion(1, 10, 0, 0));
}

TEST_F(FirmwareFileTest, CaseOfNameAndFolderIsIgnored) {
  Touch("qv620firmware_beta_V1.0.0.1.BIN");
  uint64_t version = 0;
  std::string result = FindLatestFirmwareFile("c:\\FW\\QV620Firmware.bin", &version);
  EXPECT_EQ(result, (root_ / "fw" / "qv620firmware_beta_V1.0.0.1.BIN").string());
  EXPECT_EQ(version, PackVersion(1, 0, 0, 1));
}

TEST_F(FirmwareFileTest, NothingQualifies) {
  struct Case {
    const char* configured;
  } cases[] = {
      {"C:\\fw\\QV620Firmware.bin"},  // only the plain file and a zero version
      {"C:\\missing\\QV620Firmware.bin"},
      {"C:\\fw\\QV620Firmware"},  // no dot in the name: the '*' lands outside the file name
  };
  Touch("QV620Firmware.bin");
  Touch("QV620Firmware_v0.0.0.0.bin");
  for (const auto& c : cases) {
    uint64_t version = 7;
    EXPECT_EQ(FindLatestFirmwareFile(c.configured, &version), "") << c.configured;
    EXPECT_EQ(version, 0u) << c.configured;
  }
  EXPECT_EQ(FindLatestFirmwareFile(std::string(300, 'a') + ".bin"), "");  // longer than a full path may be
}

}  // namespace
}  // namespace qv6
