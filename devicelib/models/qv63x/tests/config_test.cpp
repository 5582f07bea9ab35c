// QV63x configuration against the simulated scanner: the scan configuration becoming blocks 33 to 36,
// mechanical sections through the INI file and the EEPROM image, configuration data, and the double-feed
// sensor calibration.
#include <array>

#include "sim/firmware_package_builder.h"
#include "platform/ini.h"
#include "platform/byte_order.h"
#include "../../later/tests/recording_view.h"
#include "sim_scanner.h"

namespace qv6::testing {
namespace {

using namespace later;

constexpr uint16_t kMechTypes[] = {64, 65, 69, 70, 66, 67, 68};

class ConfigTest : public SimScannerTest {
 protected:
  // Payloads of the mechanical blocks sent since `from`, in order.
  std::vector<std::vector<uint8_t>> MechBlocksSince(size_t from) const {
    std::vector<std::vector<uint8_t>> out;
    auto all = device->BlocksReceived();
    for (size_t i = from; i < all.size(); ++i) {
      if (all[i][1] >= 64 && all[i][1] <= 70) out.push_back(all[i]);
    }
    return out;
  }
  // Connection start-up with a fresh model: read the EEPROM image, send the sections.
  std::unique_ptr<Qv63xModel> Reconnect(bool qv840 = false) {
    std::unique_ptr<Qv63xModel> m;
    if (qv840) {
      m = std::make_unique<Qv840>(transport);
    } else {
      m = std::make_unique<Qv630>(transport);
    }
    // The package holds the firmware the scanner runs, so connecting sends no download.
    sim::WritePackage("QV630Firmware.bin", sim::StandardPackage("VEK Corporation", "1.0.0.0"));
    EXPECT_EQ(m->UpdateFirmware("QV630Firmware.bin", "OK", "1.0.0.0", "VEK Corporation"), 1);
    return m;
  }
};

TEST_F(ConfigTest, ScanConfigurationBecomesBlocksSentOnlyWhenChanged) {
  WriteFile("scan.ini",
            "[Cheques]\r\nPRINTER Enable=1\r\nPRINTER Density=3\r\nPRINTER Intensity=9\r\nRS232 "
            "BaudeRate=115200\r\n"
            "DOUBLE FEED Delay=300\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", "Cheques"), 1);
  ASSERT_EQ(Received(33).size(), 1u);
  EXPECT_EQ(Received(33)[0], (std::vector<uint8_t>{0x00, 1 | (3 << 1) | (4 << 4), 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Received(35)[0], (std::vector<uint8_t>{0x01, 0x2C, 1, 0}));
  EXPECT_EQ(Received(36)[0], (std::vector<uint8_t>{0, 0x01, 0xC2, 0x00, 0, 8, 2}));
  auto acq = Received(34).at(0);
  EXPECT_EQ(plat::bytes::GetBe16(acq.data()), 200);  // grey
  EXPECT_EQ(acq[2], 4);
  EXPECT_EQ(Commands(7).size(), 1u);
  EXPECT_EQ(plat::ReadProfileString("Cheques", "PRINTER Intensity", "", ".\\scan.ini"), "4");
  EXPECT_NE(plat::ReadProfileString("Cheques", "LOG Messages", "<none>", ".\\scan.ini"), "<none>");

  // The same configuration again sends no block; a colour change sends block 34 only.
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", "Cheques"), 1);
  EXPECT_EQ(Received(33).size(), 1u);
  EXPECT_EQ(Received(34).size(), 1u);
  plat::WriteProfileString("Cheques", "FRONT_IMG Color", "2", ".\\scan.ini");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", "Cheques"), 1);
  ASSERT_EQ(Received(34).size(), 2u);
  EXPECT_EQ(plat::bytes::GetBe16(Received(34)[1].data()), 300);
  EXPECT_EQ(Received(34)[1][2], 3);
  EXPECT_EQ(Received(36).size(), 1u);
  EXPECT_EQ(model->colourMode(), 2);

  // Another connection to a scanner sends its own blocks.
  Qv630 second(transport);
  ASSERT_EQ(second.InitDeviceFromFile("scan.ini", "Cheques"), 1);
  EXPECT_EQ(Received(33).size(), 2u);
  EXPECT_EQ(model->InitDeviceFromFile("missing.ini", nullptr), 0);
}

TEST_F(ConfigTest, MechanicalFileRoundTripSendsIdenticalBlocks) {
  model->blocks().Set(kBlockMicrHead, kMhOffset, -1234);
  model->blocks().Set(kBlockRamp1, 7, 99);
  model->blocks().Set(kBlockImageModule, kImRearOffsetB, -17);
  size_t mark = device->BlocksReceived().size();
  ASSERT_EQ(model->TransferMechSections(1), 1);
  auto direct = MechBlocksSince(mark);
  ASSERT_EQ(direct.size(), 7u);
  for (size_t i = 0; i < direct.size(); ++i) EXPECT_EQ(direct[i][1], kMechTypes[i]);

  ASSERT_EQ(model->GetMechConfig("mech.ini", 0), 1);
  Qv630 other(transport);
  mark = device->BlocksReceived().size();
  ASSERT_EQ(other.SetMechConfig("mech.ini", 0), 1);
  EXPECT_EQ(MechBlocksSince(mark), direct);

  // The scanner's sections read back match what was sent.
  Qv630 reader(transport);
  ASSERT_EQ(reader.TransferMechSections(0), 1);
  for (uint16_t type : kMechTypes)
    EXPECT_EQ(reader.blocks().Fields(type), model->blocks().Fields(type)) << type;
  EXPECT_EQ(model->SetMechConfig(nullptr, 0), 1);
}

TEST_F(ConfigTest, EepromImageWrittenReadBackAndErasedGivesDefaults) {
  // Erased EEPROM: the defaults are in force and sent at connection.
  auto fresh = Reconnect();
  EXPECT_EQ(fresh->blocks().Get(kBlockMicrHead, kMhFrequency), 62500);
  EXPECT_EQ(fresh->blocks().Get(kBlockImageModule, kImFrontPwmR), 180);
  EXPECT_EQ(fresh->blocks().Get(kBlockRamp0, 0), -700);
  EXPECT_EQ(Commands(4).size(), 1u);
  auto qv840 = Reconnect(true);
  EXPECT_EQ(qv840->blocks().Get(kBlockTransport, kTsPathLength), 1050);
  EXPECT_EQ(qv840->blocks().Get(kBlockMicrHead, kMhPosition), 55);

  // Write: the image reaches the scanner and a new connection reads the same sections and tables.
  WriteFile("mech.ini", "[MICR HEAD]\r\nOffset=-900\r\n[FRONT IMG MODULE]\r\nNGoodPixel=100\r\n");
  std::vector<uint8_t> table(100, 0x3C);
  ASSERT_EQ(model->SetMechConfig("mech.ini", 1), 0 + 1);
  auto eeprom = device->Eeprom();
  EXPECT_EQ(std::string(eeprom.begin() + 72, eeprom.begin() + 76), "Qv63");
  EXPECT_EQ(plat::bytes::GetLe32(eeprom.data() + 76), 48u);
  ASSERT_EQ(model->SetCfgData(1, table.data(), 100), 1);
  ASSERT_EQ(model->SetMechConfig(nullptr, 1), 1);
  auto next = Reconnect();
  for (uint16_t type : kMechTypes)
    EXPECT_EQ(next->blocks().Fields(type), model->blocks().Fields(type)) << type;
  EXPECT_EQ(next->blocks().Get(kBlockMicrHead, kMhOffset), -900);
  std::vector<uint8_t> back(100, 0);
  ASSERT_EQ(next->GetCfgData(1, back.data(), 100), 1);
  EXPECT_EQ(back, table);
}

TEST_F(ConfigTest, ImageTooLargeForTheScannerIsRefusedBeforeWriting) {
  ASSERT_EQ(model->SetMechConfig(nullptr, 1), 1);
  auto before = device->Eeprom();
  for (int goodPixels : {1703, 2048, 4000}) {
    SCOPED_TRACE(goodPixels);
    model->blocks().Set(kBlockImageModule, kImFrontGoodPixels, goodPixels);
    EXPECT_EQ(model->SetMechConfig(nullptr, 1), 0);
    EXPECT_EQ(device->Eeprom(), before);
  }
  model->blocks().Set(kBlockImageModule, kImFrontGoodPixels, 1702);
  EXPECT_EQ(model->SetMechConfig(nullptr, 1), 1);
  EXPECT_NE(device->Eeprom(), before);
}

TEST_F(ConfigTest, ConfigurationDataTypes) {
  std::vector<uint8_t> buffer(2048, 0x77);
  EXPECT_EQ(model->GetCfgData(1, buffer.data(), 831), 0);  // shorter than the 832 good pixels
  EXPECT_EQ(buffer[0], 0);                                 // cleared anyway
  ASSERT_EQ(model->GetCfgData(2, buffer.data(), 2048), 1);
  EXPECT_EQ(buffer[831], 0x00);  // black reference
  ASSERT_EQ(model->GetCfgData(13, buffer.data(), 2048), 1);
  EXPECT_EQ(buffer[831], 0xFF);  // white reference
  EXPECT_EQ(buffer[832], 0x00);  // only the good pixels
  // A good-pixel count beyond the table never reaches past it.
  model->blocks().Set(kBlockImageModule, kImRearGoodPixels, 60000);
  std::vector<uint8_t> big(60000, 0x11);
  EXPECT_EQ(model->SetCfgData(3, big.data(), 60000), 1);
  ASSERT_EQ(model->GetCfgData(3, big.data(), 60000), 1);
  EXPECT_EQ(big[2047], 0x11);
  EXPECT_EQ(big[2048], 0x00);

  // Types 5/6: the image module section as read from the scanner, little-endian.
  model->blocks().Set(kBlockImageModule, kImFrontResolution, 0x1234);
  ASSERT_EQ(model->TransferMechSections(1), 1);
  model->blocks().Set(kBlockImageModule, kImFrontResolution, 0);
  std::array<uint8_t, 70> module{};
  ASSERT_EQ(model->GetCfgData(5, module.data(), 70), 1);
  EXPECT_EQ(module[0], 0x34);
  EXPECT_EQ(module[66], 0);
  // Type 11: information block 4 (10 bytes defined, 6 zero).
  device->SetBlock(4, {0, 0, 0, 5, 0, 6, 0, 7, 0, 8});
  std::array<uint8_t, 16> info{};
  info.fill(0xEE);
  info[0] = 4;
  info[1] = 0;
  ASSERT_EQ(model->GetCfgData(11, info.data(), 16), 1);
  EXPECT_EQ(info[0], 5);
  EXPECT_EQ(info[8], 8);
  EXPECT_EQ(info[15], 0);
  info[0] = 3;
  EXPECT_EQ(model->GetCfgData(11, info.data(), 16), 0);
  EXPECT_EQ(model->GetCfgData(25, info.data(), 16), 1);
  EXPECT_EQ(model->GetCfgData(7, info.data(), 16), 0);
  EXPECT_EQ(model->SetCfgData(30, info.data(), 1), 1);
  EXPECT_EQ(model->SetCfgData(7, info.data(), 1), 0);

  // Types 28/29: the sensor PWM goes out in the transport section.
  uint8_t pwm = 77;
  ASSERT_EQ(model->SetCfgData(29, &pwm, 1), 1);
  EXPECT_EQ(Received(66).back()[7], 77);
}

TEST_F(ConfigTest, RawStartFeedTakesOverTheSequenceNumbers) {
  // The application's start feed with parameter 2 whose number equals the expected one: advanced by one.
  std::vector<uint8_t> packet = {0, 1, 2, 253, 0, 0, 0};
  ASSERT_EQ(model->SetCfgData(11, packet.data(), static_cast<int>(packet.size())), 1);
  EXPECT_EQ(Commands(1).back(), (std::vector<uint8_t>{0, 1, 2, 254, 0, 0, 0}));
  EXPECT_EQ(model->sentSequence(), 254);
  EXPECT_EQ(model->expectedSequence(), 254);
  // A packet too short to carry a sequence byte goes out unchanged.
  std::vector<uint8_t> shortPacket = {0, 1, 2};
  model->SetCfgData(11, shortPacket.data(), 3);  // the simulated scanner refuses it
  EXPECT_EQ(device->CommandsReceived().back(), shortPacket);
  EXPECT_EQ(model->sentSequence(), 254);
}

TEST_F(ConfigTest, DoubleFeedCalibrationFindsTheThreshold) {
  for (int threshold : {0, 1, 50, 62, 64, 200, 255}) {
    SCOPED_TRACE(threshold);
    device->SetDoubleFeedThresholds(threshold, 0);
    uint8_t result = 0xEE;
    ASSERT_EQ(model->GetCfgData(28, &result, 1), 1);
    EXPECT_EQ(result, threshold);
    device->SetDoubleFeedThresholds(0, threshold);
    ASSERT_EQ(model->GetCfgData(29, &result, 1), 1);
    EXPECT_EQ(result, threshold);
  }
  // A scanner that always sees a double feed ends at 255.
  device->SetDoubleFeedThresholds(1000, 0);
  uint8_t result = 0;
  ASSERT_EQ(model->GetCfgData(28, &result, 1), 1);
  EXPECT_EQ(result, 255);
}

// The dialog's texts at connection, in order: the configuration step's text shows and is cleared, after a
// failed download too, when neither the EEPROM image nor the sections are read and sent.
TEST_F(ConfigTest, FirmwareUpdateShowsTheConfigurationStepAndClearsIt) {
  struct Case {
    const char* name;
    bool downloadFails;
    int result;
    std::vector<std::string> texts;
    size_t sections;
  };
  const Case cases[] = {
      {"up to date", false, 1, {"Loading configuration", ""}, 7},
      {"download fails", true, 0, {"Loading firmware", "Loading configuration", ""}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Attach(sim::Model::kQv630);
    // The scanner runs 1.0.0.0; a package of 1.2.3.4 is downloaded, and a scanner that never comes back
    // from the loader's reset fails the download.
    sim::WritePackage("QV630Firmware.bin",
                      sim::StandardPackage("VEK Corporation", c.downloadFails ? "1.2.3.4" : "1.0.0.0"));
    if (c.downloadFails) device->SetReenumeration("\\\\.\\KScanDrv-0", UINT32_MAX);
    RecordingView view;
    EXPECT_EQ(model->StartUp({"QV630Firmware.bin", "OK", "1.0.0.0", "VEK Corporation", &view}), c.result);
    EXPECT_EQ(view.texts, c.texts);
    EXPECT_EQ(MechBlocksSince(0).size(), c.sections);
    EXPECT_EQ(Commands(4).size(), c.result == 1 ? 1u : 0u);
  }
}

}  // namespace
}  // namespace qv6::testing
