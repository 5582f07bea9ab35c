// The QV9120 against the simulated scanner: the franker command, the pocket-full bits, the franker
// settings in block 35's change copy, the maintenance mode it lacks, and its default sections.
#include <gtest/gtest.h>

#include "platform/ini.h"
#include "qv6/later/later_blocks.h"
#include "qv6/later/status_words.h"
#include "qv6/qv9120/qv9120_model.h"
#include "sim/qv9120_device.h"
#include "sim_scanner.h"

namespace qv6::testing {
namespace {

using Qv9120Test =
    LaterScannerTest<sim::Qv9120Device, ScannerQV63xInterface, Qv9120, Qv9120, sim::Model::kQv9120>;

TEST_F(Qv9120Test, FrankSendsOpcode12WithTheExpectedSequenceAndTheValue) {
  EXPECT_EQ(model->Frank(0x1234), 1);
  const uint8_t seq = model->expectedSequence();
  EXPECT_EQ(Commands(12), (std::vector<std::vector<uint8_t>>{{0x00, 0x0C, seq, 0x12, 0x34, 0x00, 0x00}}));
}

TEST_F(Qv9120Test, PocketFullSensorsReachTheStatusWord) {
  struct Case {
    uint16_t sensor;
    uint32_t bits;
  } cases[] = {{0x0000, 0}, {0x0100, 0x8000}, {0x0200, 0x10000}, {0x0300, 0x18000}};
  for (const Case& c : cases) {
    device->SetWords(0, c.sensor, 0);
    int word = 0;
    int errors = 0;
    ASSERT_EQ(model->GetStatus(&word, &errors), 1);
    EXPECT_EQ(static_cast<uint32_t>(word) & (QV6_STATUS_POCKET0_FULL | QV6_STATUS_POCKET1_FULL), c.bits)
        << std::hex << c.sensor;
  }
}

TEST_F(Qv9120Test, AFrankerSettingAloneResendsBlock35WhichKeepsItsFourBytes) {
  WriteFile("scan.ini", "[QV600 CONFIG]\r\nFrankerMode=1\r\nFrankerSmartModeBadQtyAllowed=1\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  EXPECT_EQ(Received(kBlockDoubleFeed).size(), 1u);
  EXPECT_EQ(model->scanConfig().franker.mode, 1);
  // The keys are read, never written back.
  EXPECT_EQ(plat::ReadProfileString("QV600 CONFIG", "FrankerComment", "<none>", ".\\scan.ini"), "<none>");

  WriteFile("scan.ini", "[QV600 CONFIG]\r\nFrankerMode=2\r\nFrankerSmartModeBadQtyAllowed=1\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  WriteFile("scan.ini", "[QV600 CONFIG]\r\nFrankerMode=2\r\nFrankerSmartModeBadQtyAllowed=3\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  auto sent = Received(kBlockDoubleFeed);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent.back().size(), 4u);
  // Blocks 33, 34 and 36 did not change.
  EXPECT_EQ(Received(kBlockAcquisition).size(), 1u);
}

TEST_F(Qv9120Test, HasNoMaintenanceModeAndTakesTheFirstPrintPosition) {
  EXPECT_EQ(model->MaintenanceMode(1), 1);
  EXPECT_TRUE(Commands(11).empty());
  EXPECT_EQ(model->GetPrintParameter(7, 9), 7);
  EXPECT_TRUE(model->flags().mirroredSides);
}

TEST_F(Qv9120Test, DefaultTransportSectionIsTheQv840One) {
  std::vector<uint8_t> small(10, 0xAA);
  model->eepromImage().GetDefaultSection(kBlockTransport, small.data(), small.size());
  // "Path Length" 1050, "Pos. Pipeline" 50, "EdgeDebounceLen" 75, PWMs 50 and 50, little-endian.
  EXPECT_EQ(small, (std::vector<uint8_t>{0x1A, 0x04, 50, 0, 75, 0, 50, 50, 50, 0}));
  std::vector<uint8_t> large(100, 0xAA);
  model->eepromImage().GetDefaultSection(kBlockTransport, large.data(), large.size());
  EXPECT_EQ(large[15], 0x22);  // "Pos Jam Detector 0" 802
  EXPECT_EQ(large[16], 0x03);
  EXPECT_EQ(std::vector<uint8_t>(large.begin() + 34, large.end()), std::vector<uint8_t>(66, 0));
}

TEST_F(Qv9120Test, TwoConnectionsEachReceiveTheirConfiguration) {
  // A second scanner on the next device name, with its own connection.
  auto second = std::static_pointer_cast<sim::Qv9120Device>(
      sim::AttachScanner(sim::Model::kQv9120, "\\\\.\\KScanDrv-1"));
  ScannerQV63xInterface otherTransport;
  ASSERT_EQ(otherTransport.Open(), 1);
  Qv9120 other(otherTransport);
  WriteFile("scan.ini", "[QV600 CONFIG]\r\nFrankerMode=2\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  ASSERT_EQ(other.InitDeviceFromFile("scan.ini", nullptr), 1);
  for (uint16_t type : {kBlockPrinter, kBlockAcquisition, kBlockDoubleFeed, kBlockSerialPort}) {
    EXPECT_EQ(BlocksOfType(*device, type).size(), 1u) << type;
    EXPECT_EQ(BlocksOfType(*second, type).size(), 1u) << type;
  }
  otherTransport.Close();
}

}  // namespace
}  // namespace qv6::testing
