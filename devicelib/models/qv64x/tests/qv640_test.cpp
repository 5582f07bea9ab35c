// The QV640 against the simulated scanner: the franker command, its scan preparation (300 raw lines per
// inch, colour always in mode 2, block 35 with the franker settings, opcode 7 from the preparation too),
// its scan configuration's differences, its identification and FPGA opening, and its default sections.
#include <gtest/gtest.h>

#include <array>

#include "identity/identity_block.h"
#include "platform/ini.h"
#include "qv6/later/later_blocks.h"
#include "qv6/qv64x/qv640_model.h"
#include "../../later/tests/recording_view.h"
#include "sim/firmware_package_builder.h"
#include "sim/qv64x_device.h"
#include "sim_scanner.h"

namespace qv6::testing {
namespace {

using Qv640Test = LaterScannerTest<sim::Qv64xDevice, ScannerQV64xInterface, Qv640, Qv640, sim::Model::kQv640>;

std::string Written(const char* key) {
  return plat::ReadProfileString("QV600 CONFIG", key, "<none>", ".\\scan.ini");
}

TEST_F(Qv640Test, FrankSendsOpcode12WithTheExpectedSequenceAndTheValue) {
  EXPECT_EQ(model->Frank(0x0102), 1);
  const uint8_t seq = model->expectedSequence();
  EXPECT_EQ(Commands(12), (std::vector<std::vector<uint8_t>>{{0x00, 0x0C, seq, 0x01, 0x02, 0x00, 0x00}}));
}

TEST_F(Qv640Test, PreparationSends300LinesPerInchAndAnyColourAsMode2) {
  struct Case {
    const char* name;
    const char* keys;
    std::array<uint8_t, 3> acquisition;  // line setting (big-endian), record count
    int colourMode;
  } cases[] = {
      {"grey", "", {0x01, 0x2C, 4}, 0},
      {"colour1", "FRONT_IMG Color=1\r\n", {0x01, 0x2C, 3}, 2},
      {"colour2", "FRONT_IMG Color=2\r\n", {0x01, 0x2C, 3}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Attach(sim::Model::kQv640);
    WriteFile("scan.ini", std::string("[QV600 CONFIG]\r\n") + c.keys);
    ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
    EXPECT_EQ(model->colourMode(), c.colourMode);
    auto acquisition = Received(kBlockAcquisition);
    ASSERT_EQ(acquisition.size(), 1u);
    EXPECT_TRUE(std::equal(c.acquisition.begin(), c.acquisition.end(), acquisition[0].begin()));
    // Once from the preparation, once for the configuration as loaded.
    EXPECT_EQ(Commands(7).size(), 2u);
  }
}

TEST_F(Qv640Test, Block35CarriesTheFrankerAndResendsWhenOnlyTheAllowanceChanges) {
  WriteFile("scan.ini", "[QV600 CONFIG]\r\nFrankerMode=2\r\nFrankerSmartModeBadQtyAllowed=1\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  WriteFile("scan.ini", "[QV600 CONFIG]\r\nFrankerMode=2\r\nFrankerSmartModeBadQtyAllowed=2\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  auto sent = Received(kBlockDoubleFeed);
  ASSERT_EQ(sent.size(), 2u);
  // Delay 5, enable 1, solenoid mode 0, franker mode, allowance.
  EXPECT_EQ(sent[0], (std::vector<uint8_t>{0, 5, 1, 0, 2, 1}));
  EXPECT_EQ(sent[1], (std::vector<uint8_t>{0, 5, 1, 0, 2, 2}));
}

TEST_F(Qv640Test, ScanConfigurationTakes300DpiAndWritesTheFrankerBack) {
  struct Case {
    const char* given;  // "FRONT_IMG Resolution"; nullptr: missing
    const char* written;
  } cases[] = {{nullptr, "300"}, {"150", "300"}, {"200", "200"}, {"100", "100"}, {"300", "300"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given ? c.given : "(missing)");
    std::string text = "[QV600 CONFIG]\r\nFrankerMode=1\r\nFrankerSmartModeBadQtyAllowed=4\r\n";
    if (c.given) text += std::string("FRONT_IMG Resolution=") + c.given + "\r\n";
    WriteFile("scan.ini", text);
    ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
    EXPECT_EQ(Written("FRONT_IMG Resolution"), c.written);
    EXPECT_EQ(Written("REAR_IMG Resolution"), c.written);
  }
  EXPECT_EQ(Written("FrankerComment"), "Mode:0=off,1=always. Margin & Length in units of 0.1mm.");
  EXPECT_EQ(Written("FrankerMode"), "1");
  EXPECT_EQ(Written("FrankerSmartModeBadQtyAllowed"), "4");
}

TEST_F(Qv640Test, BootLoaderIdentifiesAsQv640AndTheFpgaOpensWithTheLoadModeFlag) {
  Attach(sim::Model::kQv640, sim::Firmware::kBootLoader);
  std::array<uint8_t, 256> identity{};
  ASSERT_EQ(model->ReadIdentity(identity.data(), identity.size()), 1);
  CQv6Info info(identity.data(), identity.size());
  EXPECT_STREQ(info.model(), "Orvisca Scanner Qv640");
  EXPECT_STREQ(info.state(), "SD");

  Qv640Commands commands(transport);
  const std::vector<uint8_t> image1(3000, 1), image2(100, 2);
  ASSERT_EQ(commands.DownloadFpga(image1, image2, 0), 1);
  EXPECT_EQ(device->FpgaOpenValue(), 0);
  EXPECT_EQ(device->FpgaImage(), image2);  // "SD" picks the second image, with its own size
  ASSERT_EQ(commands.DownloadFpga(image1, image2, 1), 1);
  EXPECT_EQ(device->FpgaOpenValue(), 1);
}

TEST_F(Qv640Test, DefaultSectionsAreTheQv640Ones) {
  auto section = [&](int tag, size_t length) {
    std::vector<uint8_t> buffer(length, 0xAA);
    model->eepromImage().GetDefaultSection(tag, buffer.data(), buffer.size());
    return buffer;
  };
  // Transport: 46 bytes, the rest of a larger buffer cleared; the franker fields at 34..45.
  std::vector<uint8_t> transport = section(kBlockTransport, 100);
  EXPECT_EQ(std::vector<uint8_t>(transport.begin() + 34, transport.begin() + 46),
            (std::vector<uint8_t>{0x33, 0x02, 7, 7, 0xE8, 0x03, 0, 0, 127, 0, 17, 0}));
  EXPECT_EQ(std::vector<uint8_t>(transport.begin() + 46, transport.end()), std::vector<uint8_t>(54, 0));
  EXPECT_EQ(section(kBlockTransport, 10), std::vector<uint8_t>(transport.begin(), transport.begin() + 10));
  // Head: position 250, frequency 62500, gain calibration factor 128, offset -1500.
  EXPECT_EQ(section(kBlockMicrHead, 7), (std::vector<uint8_t>{0xFA, 0x00, 0x24, 0xF4, 0x80, 0x24, 0xFA}));
  // Image module: 300 dpi, 1296 good of 1536 pixels; front grey gain 3094, offsets 750, PWMs 123.
  std::vector<uint8_t> module = section(kBlockImageModule, 66);
  EXPECT_EQ(std::vector<uint8_t>(module.begin(), module.begin() + 12),
            (std::vector<uint8_t>{0x2C, 0x01, 2, 0, 0, 0, 0x10, 0x05, 0, 0, 0x00, 0x06}));
  EXPECT_EQ(module[30], 0x16);  // 3094
  EXPECT_EQ(module[31], 0x0C);
  EXPECT_EQ(module[32], 0xEE);  // 750
  EXPECT_EQ(module[40], 123);
  EXPECT_EQ(module[51], 0xE8);  // rear offset 1000
  // Ramps: the acceleration table's ninth entry is 1200 with 105 steps.
  std::vector<uint8_t> ramp = section(kBlockRamp0, 320);
  EXPECT_EQ(std::vector<uint8_t>(ramp.begin() + 40, ramp.begin() + 45),
            (std::vector<uint8_t>{0xB0, 0x04, 0, 0, 105}));
}

// The dialog's texts at connection, in order: the configuration step's text shows and is cleared and
// "Download done" closes the update, after a failed download too, when no configuration follows.
TEST_F(Qv640Test, FirmwareUpdateClosesWithDownloadDone) {
  struct Case {
    const char* name;
    const char* packageFile;  // load mode 2: a file newer than the scanner's 1.0.0.0 is downloaded
    int result;
    std::vector<std::string> texts;
    size_t sections;
  };
  const Case cases[] = {
      {"up to date", "QV640Firmware.bin", 1, {"Loading configuration", "", "Download done"}, 7},
      {"download fails", "QV640Firmware_v2.0.0.0.bin", 0,
       {"Loading firmware", "Loading configuration", "", "Download done"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Attach(sim::Model::kQv640);
    std::filesystem::remove(dir_ / "QV640Firmware.bin");
    sim::WritePackage(c.packageFile, sim::StandardPackage("VEK Corporation", "1.0.0.0"));
    // A scanner that never comes back from the loader's reset fails the download.
    device->SetReenumeration("\\\\.\\KScanDrv-0", UINT32_MAX);
    RecordingView view;
    EXPECT_EQ(model->StartUp({"QV640Firmware.bin", "OK", "1.0.0.0", "VEK Corporation", &view}), c.result);
    EXPECT_EQ(view.texts, c.texts);
    size_t sections = 0;
    for (uint16_t type = 64; type <= 70; ++type) sections += Received(type).size();
    EXPECT_EQ(sections, c.sections);
    EXPECT_EQ(Commands(4).size(), c.result == 1 ? 1u : 0u);
  }
}

}  // namespace
}  // namespace qv6::testing
