// The KQv8 against the simulated KQv8x scanner, piece by piece: the command set's differences, the status
// words and the one record's sequence byte, the begin and end blocks around the host-buffer upload, the
// acquisition registers of a scan configuration, the sensor edge search, the EEPROM image and its default
// sections, and the configuration data the series treats apart.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "identity/identity_block.h"
#include "kqv8x_fixture.h"
#include "platform/byte_order.h"
#include "qv6/kqv8x/kqv8x_blocks.h"
#include "qv6/kqv8x/kqv8x_edges.h"
#include "qv6/kqv8x/kqv8x_registers.h"
#include "qv6/kqv8x/kqv8x_side.h"
#include "sim/kqv8x_eeprom.h"

namespace qv6::testing {
namespace {

using namespace later;

// ---- Command set ----

// The command set over the fixture's transport.
KQv8Commands& CommandSet(ScannerKQv8xInterface& transport) {
  static std::unique_ptr<KQv8Commands> commands;
  commands = std::make_unique<KQv8Commands>(transport);
  return *commands;
}

TEST_F(KQv8Test, OpcodeTwelveIsNeverSentAndOthersAre) {
  DeviceCommandRequest frank;
  frank.opcode = 12;
  frank.p = {1, 2, 3, 4, 5};
  EXPECT_EQ(CommandSet(transport).SendCommand(frank), 1);
  EXPECT_TRUE(Commands(12).empty());
  DeviceCommandRequest pocket;
  pocket.opcode = 10;
  pocket.p = {7, 1};
  EXPECT_EQ(CommandSet(transport).SendCommand(pocket), 1);
  EXPECT_EQ(Commands(10), (std::vector<std::vector<uint8_t>>{{0, 10, 7, 1}}));
}

TEST_F(KQv8Test, EepromTransfersTakeSixteenBitLengthsUpTo0xF000) {
  struct Case {
    const char* what;
    int length;
    int moved;
  } cases[] = {{"50000 bytes", 50000, 50000}, {"0xFFFF bytes", 0xFFFF, 61440}, {"0x10005 bytes", 0x10005, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> data(static_cast<size_t>(c.length), 0x5A);
    EXPECT_EQ(CommandSet(transport).WriteData(data.data(), c.length), c.moved);
    std::vector<uint8_t> back(static_cast<size_t>(c.length) + 512, 0);
    EXPECT_EQ(CommandSet(transport).ReadData(back.data(), c.length), c.moved);
    EXPECT_EQ(back[static_cast<size_t>(c.moved) - 1], 0x5A);
  }
}

TEST_F(KQv8Test, IdentificationByProductAndBoardCode) {
  struct Case {
    const char* what;
    sim::IdentificationCodes codes;
    int result;
    const char* model;  // null: the buffer is left as it was
    const char* state;
  } cases[] = {
      {"boot loader on board 36", {31, 1, 36}, 1, "KWL Scanner KQv8", "NO FW"},
      {"boot loader on board 35", {31, 1, 35}, 0, nullptr, nullptr},
      {"another series' product", {19, 1, 0}, 1, "No model", "Startup"},
      {"running firmware", {36, 1, 0}, 1, "KWL Scanner KQv8", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    device->SetCodes(c.codes);
    std::array<uint8_t, 256> buffer;
    buffer.fill(0xAB);
    EXPECT_EQ(CommandSet(transport).Identify(buffer.data(), buffer.size()), c.result);
    if (c.model == nullptr) {
      EXPECT_EQ(buffer[0], 0xAB);
      EXPECT_EQ(buffer[255], 0xAB);
      continue;
    }
    CQv6Info info(buffer.data(), buffer.size());
    EXPECT_STREQ(info.model(), c.model);
    if (c.codes.product != 36) {
      EXPECT_STREQ(info.state(), c.state);
    }
  }
}

// ---- Status ----

struct StatusCase {
  const char* what;
  uint16_t state, sensor, error, document;
  uint32_t status;  // besides Connected
  uint32_t errors;
};

TEST_F(KQv8Test, StatusAndErrorWordsFromTheTwentyFourByteBlock) {
  const StatusCase cases[] = {
      {"jam with read track", 0x4, 0, 0, 0x1800, QV6_STATUS_READ_TRACK | QV6_STATUS_ERROR, QV6_ERRORS_JAM},
      {"error bit without an error", 0x4, 0, 0, 0, 0, 0},
      {"self-test", 0x4, 0, 0x2, 0, QV6_STATUS_ERROR, QV6_ERRORS_SELF_TEST},
      {"insert and double feed", 0x4, 0x20, 0, 0x600, QV6_STATUS_ERROR | QV6_STATUS_DOUBLE_FEED,
       QV6_ERRORS_DOC_INSERT | QV6_ERRORS_DOUBLE_FEED},
      {"feed and sync sensors", 0x0, 0x4 | 0x10, 0, 0, QV6_STATUS_FEED_SENSOR | QV6_STATUS_SYNC_SENSOR, 0},
      {"ink jet, exit and cover", 0x0, 0x1 | 0x40 | 0x100, 0, 0,
       QV6_STATUS_INKJET | QV6_STATUS_EXIT_JAM | QV6_STATUS_COVER_OFF, 0},
      {"complete, power on, enabled, scanning", 0x1 | 0x2 | 0x8 | 0x10, 0, 0, 0,
       QV6_STATUS_COMMAND_COMPLETE | QV6_STATUS_POWER_ON | QV6_STATUS_SCAN_ENABLE | QV6_STATUS_SCANNING, 0},
      // Neither an idle state (no early-scan bit) nor the QV63x sensor bits.
      {"idle", 0x0, 0x80, 0, 0, 0, 0},
  };
  for (const StatusCase& c : cases) {
    SCOPED_TRACE(c.what);
    device->SetWords(c.state, c.sensor, c.error);
    sim::DocumentRecord record;
    record.sequence = 99;  // whatever the scanner sends, the record is the current document's
    record.word = c.document;
    device->SetRecord(0, record);
    int status = 0, errors = 0;
    ASSERT_EQ(model->GetStatus(&status, &errors), 1);
    EXPECT_EQ(static_cast<uint32_t>(status), QV6_STATUS_CONNECTED | c.status);
    EXPECT_EQ(static_cast<uint32_t>(errors), c.errors);
    EXPECT_EQ(model->blocks().Get(kBlockStatus, size_t{kRecordA} + size_t{kRecSequence}),
              model->expectedSequence());
  }
}

TEST_F(KQv8Test, UploadIsBracketedByBeginAndEndAroundExactly8192Bytes) {
  device->ClearTranscript();
  ASSERT_EQ(model->UploadDeviceBuffer(), 1);
  EXPECT_EQ(device->Transcript(), (std::vector<std::string>{"39:1", "w3:8192", "39:0"}));
  EXPECT_EQ(model->hostBuffer().size(), 8192u);
}

// ---- Registers ----

TEST(KQv8xRegisters, GainAndOffsetCodes) {
  EXPECT_EQ(kqv8x::GainCode(1000), 0);
  EXPECT_EQ(kqv8x::GainCode(500), 0);
  EXPECT_EQ(kqv8x::GainCode(5850), 63);
  EXPECT_EQ(kqv8x::GainCode(9000), 63);
  EXPECT_EQ(kqv8x::GainCode(3000), 51);  // (100 - (19500 - 10000) / 485) * 63 / 100
  struct Case {
    int offset;
    uint8_t code;
    uint8_t magnitude;
  } cases[] = {{-1500, 0x70, 153}, {0, 0x71, 0}, {1500, 0x71, 153}, {-4000, 0x70, 255}, {4000, 0x71, 255}};
  for (const Case& c : cases) {
    uint8_t code = 0, magnitude = 0;
    kqv8x::OffsetCode(c.offset, 0x70, &code, &magnitude);
    EXPECT_EQ(code, c.code) << c.offset;
    EXPECT_EQ(magnitude, c.magnitude) << c.offset;
  }
}

TEST_F(KQv8Test, ScanConfigurationSetsLineValueColourCodeAndHeadSet) {
  struct Case {
    const char* name;
    const char* keys;
    int colourMode;
    int lineValue;
    int colourCode;
    int headGain;  // the gain of the head set the line value picks, as a code
  } cases[] = {
      {"grey by default at 300", "", 0, 300, 1, kqv8x::GainCode(1700)},
      {"grey 200", "FRONT_IMG Resolution=200\r\n", 0, 200, 1, kqv8x::GainCode(1250)},
      {"grey 100 is read at 200 lines", "FRONT_IMG Resolution=100\r\n", 0, 200, 1, kqv8x::GainCode(1250)},
      {"grey 150 is 300", "FRONT_IMG Resolution=150\r\n", 0, 300, 1, kqv8x::GainCode(1700)},
      {"colour 1 is colour mode 2 at 100", "FRONT_IMG Color=1\r\n", 2, 300, 3, kqv8x::GainCode(1700)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Attach(sim::Model::kKQv8);
    WriteFile("scan.ini", std::string("[QV600 CONFIG]\r\n") + c.keys);
    ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
    EXPECT_EQ(model->colourMode(), c.colourMode);
    auto registers = Received(kBlockAcquisition);
    ASSERT_EQ(registers.size(), 1u);
    ASSERT_EQ(registers[0].size(), 29u);
    EXPECT_EQ(plat::bytes::GetBe16(&registers[0][2]), c.lineValue);
    EXPECT_EQ(registers[0][4], c.colourCode);
    EXPECT_EQ((std::vector<uint8_t>(registers[0].begin() + 5, registers[0].begin() + 10)),
              (std::vector<uint8_t>{0x18, 0x00, 0x60, 0x10, 0xF0}));
    EXPECT_EQ(registers[0][14], 0x40);
    EXPECT_EQ(registers[0][15], c.headGain);
    // The colour configuration lights every lamp of both sides; grey halves them.
    const uint8_t pwm = c.colourMode == 2 ? 180 : 90;
    EXPECT_EQ((std::vector<uint8_t>(registers[0].begin() + 22, registers[0].end() - 1)),
              (std::vector<uint8_t>(6, pwm)));
    EXPECT_EQ(Received(kBlockDoubleFeed).at(0).size(), 3u);
  }
}

// ---- Edge search ----

TEST(KQv8xEdges, FindsTheLitEdgesOfAStepTable) {
  std::vector<uint8_t> table(3000, 0);
  for (size_t j = 7; j <= 2530; ++j) table[j] = 255;
  EXPECT_EQ(kqv8x::FindLineStart(table), 7);
  EXPECT_EQ(kqv8x::FindLineEnd(table, 2552), 2530);
  // A table lit everywhere has no edge.
  std::vector<uint8_t> lit(3000, 255);
  EXPECT_EQ(kqv8x::FindLineStart(lit), 1);
  EXPECT_EQ(kqv8x::FindLineEnd(lit, 2552), 2552);
}

TEST(KQv8xEdges, DegenerateGoodPixelCountsStayInsideTheTable) {
  struct Case {
    const char* what;
    int goodPixels;
    int end;
  } cases[] = {{"none", 0, 0},
               {"seven", 7, 7},
               {"256", 256, 256},
               {"258", 258, 258},
               {"beyond the table", 4000, 3000},
               {"negative", -5, -5}};
  for (const Case& c : cases) {
    // An exact-size heap copy, so that a read outside it is seen by the address sanitizer.
    std::vector<uint8_t> table(3000, 0);
    EXPECT_EQ(kqv8x::FindLineEnd(table, c.goodPixels), c.end) << c.what;
  }
  std::vector<uint8_t> tooShort(20, 255);
  EXPECT_EQ(kqv8x::FindLineStart(tooShort), 1);
}

TEST_F(KQv8Test, EdgeSearchFindsTheSimulatorsLitEdges) {
  ASSERT_EQ(model->eepromImage().SyncImage(), 1);
  ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
  for (int side = 0; side < 2; ++side) {
    SCOPED_TRACE(side);
    EXPECT_EQ(model->FindLineStart(side), sim::kKQv8xLitEdges[static_cast<size_t>(side)].first);
    EXPECT_EQ(model->FindLineEnd(side), sim::kKQv8xLitEdges[static_cast<size_t>(side)].last);
  }
}

// ---- Configuration ----

TEST_F(KQv8Test, PwmFixUpTurnsOnlyTheFactoryFiftyOff) {
  for (int pwm : {50, 49, 51}) {
    SCOPED_TRACE(pwm);
    Attach(sim::Model::kKQv8);
    model->blocks().Set(kBlockTransport, kqv8x::kTsPwmDoubleFeed0, pwm);
    ASSERT_EQ(model->SetMechConfig(nullptr, 1), 1);
    model->blocks().Set(kBlockTransport, kqv8x::kTsPwmDoubleFeed0, 7);
    ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
    EXPECT_EQ(model->blocks().Get(kBlockTransport, kqv8x::kTsPwmDoubleFeed0), pwm == 50 ? 0 : pwm);
  }
}

TEST_F(KQv8Test, EepromImageLargerThanTheOtherSeriesIsWrittenAndReadBackEqual) {
  ASSERT_EQ(model->eepromImage().SyncImage(), 1);
  ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
  ASSERT_EQ(model->SetMechConfig(nullptr, 1), 1);
  const auto image = model->eepromImage().image();
  EXPECT_GT(image.size(), size_t{0x6F00});
  EXPECT_LT(image.size(), size_t{0xF000});
  // Tag "KQV8" and its zero from offset 72.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data()) + 72, 5), std::string("KQV8\0", 5));
  const std::vector<uint8_t> eeprom = device->Eeprom();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), eeprom.begin()));
  // Both sides' tables keep the edges through the round trip.
  EXPECT_EQ(model->FindLineEnd(1), sim::kKQv8xLitEdges[1].last);
}

TEST_F(KQv8Test, TablesOfMoreGoodPixelsThanTheyHoldStayWithinTheirThreeThousandBytes) {
  model->blocks().Set(kBlockImageModule, kImFrontGoodPixels, 4000);
  // Copied in and out at the table's size, never at the good-pixel count.
  std::vector<uint8_t> table(3000, 0x77);
  EXPECT_EQ(model->SetCfgData(1, table.data(), static_cast<int>(table.size())), 1);
  std::vector<uint8_t> out(3000, 0);
  EXPECT_EQ(model->GetCfgData(1, out.data(), static_cast<int>(out.size())), 1);
  EXPECT_EQ(out, table);
  // Stored in the image at the table's size too.
  ASSERT_EQ(model->SetMechConfig(nullptr, 1), 1);
  std::vector<uint8_t> stored(3000, 0);
  ASSERT_EQ(model->eepromImage().GetRecord(256, stored.data(), stored.size()), 1);
  EXPECT_EQ(stored, table);
  EXPECT_LT(model->eepromImage().usedLength(), size_t{0xF000});
}

TEST_F(KQv8Test, DefaultSectionsAreClearedBehindTheirSize) {
  std::array<uint8_t, 30> buffer;
  buffer.fill(0xAB);
  model->eepromImage().GetDefaultSection(kBlockTransport, buffer.data(), buffer.size());
  EXPECT_EQ(plat::bytes::GetLe16(&buffer[0]), 610);  // path length
  EXPECT_EQ(buffer[4], 50);                          // double-feed PWM
  for (size_t i = 21; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0) << i;
  buffer.fill(0xAB);
  model->eepromImage().GetDefaultSection(kBlockRamp1, buffer.data(), buffer.size());
  EXPECT_EQ(buffer, (std::array<uint8_t, 30>{}));
  std::array<uint8_t, 50> module{};
  model->eepromImage().GetDefaultSection(kBlockImageModule, module.data(), module.size());
  EXPECT_EQ(plat::bytes::GetLe16(&module[6]), 2552);
  EXPECT_EQ(plat::bytes::GetLe16(&module[2 + 12]), 2 | 8);  // the rear's pixels run top-down
  EXPECT_EQ(plat::bytes::GetLe16(&module[48]), 280);
}

TEST_F(KQv8Test, ConfigurationDataTheSeriesTreatsApart) {
  const uint8_t pwm = 33;
  EXPECT_EQ(model->SetCfgData(29, &pwm, 1), 0);
  EXPECT_EQ(model->SetCfgData(28, &pwm, 1), 1);
  auto transport = Received(kBlockTransport);
  ASSERT_EQ(transport.size(), 1u);
  ASSERT_EQ(transport[0].size(), 21u);
  EXPECT_EQ(transport[0][4], pwm);
  std::array<uint8_t, 64> module{};
  ASSERT_EQ(model->TransferMechSections(1), 1);
  EXPECT_EQ(model->GetCfgData(5, module.data(), static_cast<int>(module.size())), 1);
  EXPECT_EQ(module[50], 0);  // at most the 50 bytes of the section
  int mode = -1;
  EXPECT_EQ(model->GetOperatingMode(&mode), 1);
  EXPECT_EQ(mode, 0);
}

}  // namespace
}  // namespace qv6::testing
