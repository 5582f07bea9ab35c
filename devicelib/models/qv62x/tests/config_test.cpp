// The QV62x configuration against the simulated scanner: the scan configuration's QV62x dialect, the
// mechanical INI file, configuration data, settings blocks sent once per change and per connection, the
// EEPROM image and its defaults, and the models' own operations.
#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/ini.h"
#include "qv6/later/later_blocks.h"
#include "qv62x_fixture.h"

namespace qv6::testing {
namespace {

std::string ReadText(const std::string& name) {
  std::ifstream f(name);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

struct IniCase {
  const char* name;
  const char* keys;
  const char* key;      // read back from the file after loading
  const char* written;  // "" : not written at all
};

class Qv62xScanIni : public Qv62xTest, public ::testing::WithParamInterface<IniCase> {};

TEST_P(Qv62xScanIni, ValueIsBroughtIntoRangeAndWrittenBack) {
  const IniCase& c = GetParam();
  Attach(sim::Model::kQv620);
  WriteFile("scan.ini", std::string("[QV600 CONFIG]\r\n") + c.keys);
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  const std::string value = plat::ReadProfileString("QV600 CONFIG", c.key, "<none>", ".\\scan.ini");
  EXPECT_EQ(value, *c.written ? c.written : "<none>");
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Qv62xScanIni,
    ::testing::Values(
        IniCase{"ResolutionOddBecomes200", "FRONT_IMG Resolution=150\r\n", "FRONT_IMG Resolution", "200"},
        IniCase{"RearTopFollowsFront", "REAR_IMG Top=500\r\n", "REAR_IMG Top", "2200"},
        IniCase{"ParityOutOfRange", "RS232 Parity=5\r\n", "RS232 Parity", "0"},
        IniCase{"BaudOutsideTheList", "RS232 BaudeRate=14400\r\n", "RS232 BaudeRate", "9600"},
        IniCase{"StopBitsThree", "RS232 StopBits=3\r\n", "RS232 StopBits", "1"},
        IniCase{"ColourIsAFlag", "FRONT_IMG Color=2\r\n", "FRONT_IMG Color", "1"},
        IniCase{"TripPixelsOutOfRange", "PHOTO OUT Trip Pixels=2000\r\n", "PHOTO OUT Trip Pixels", "125"},
        IniCase{"OffsetOutOfRange", "PHOTO OUT Threshold Offset=0\r\n", "PHOTO OUT Threshold Offset", "25"},
        IniCase{"PhotoOutEnableNotWritten", "", "PHOTO OUT Enable", ""},
        IniCase{"NoFeedSolenoidKey", "", "Feed Solenoid Mode", ""}),
    [](const ::testing::TestParamInfo<IniCase>& info) { return std::string(info.param.name); });

TEST_F(Qv62xTest, ScanFileIsWrittenInTheKeyTablesOrder) {
  Attach(sim::Model::kQv620);
  const std::string font(1100, 'f');
  WriteFile("scan.ini", "[QV600 CONFIG]\r\nMICR Save Samples=1\r\nPRINTER Font 12dot=" + font + "\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  EXPECT_EQ(plat::ReadProfileString("QV600 CONFIG", "PRINTER Font 12dot", "", ".\\scan.ini").size(), 1023u)
      << "at most 1023 characters";
  ASSERT_EQ(model->SaveCfgToIni("new.ini", "OTHER"), 1);
  std::vector<std::string> keys;
  std::istringstream lines(ReadText("new.ini"));
  for (std::string line; std::getline(lines, line);) {
    if (const size_t eq = line.find('='); eq != std::string::npos) keys.push_back(line.substr(0, eq));
  }
  std::vector<std::string> expected{"LOG Messages", "CROP_IMAGE Enable"};
  for (const char* side : {"FRONT_IMG ", "REAR_IMG "}) {
    for (const char* key : {"Enable", "Color", "RED Intensity", "GREEN Intensity", "BLU Intensity",
                            "GrayLevels", "BW Threshold", "Resolution", "Bottom", "Top", "Contrast"}) {
      expected.push_back(std::string(side) + key);
    }
  }
  for (const char* key :
       {"MICR Enable", "MICR Font", "MICR Spaces", "MICR Save Samples", "PRINTER Enable", "PRINTER Intensity",
        "PRINTER Density", "PRINTER Font 12dot", "RS232 BaudeRate", "RS232 Parity", "RS232 CharLen",
        "RS232 StopBits", "DOUBLE FEED Enable", "DOUBLE FEED Delay", "PHOTO OUT Threshold Offset",
        "PHOTO OUT Trip Pixels", "SORTER Enable"}) {
    expected.emplace_back(key);
  }
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(plat::ReadProfileString("OTHER", "MICR Save Samples", "", ".\\new.ini"), "1");
}

TEST_F(Qv62xTest, MechanicalFileKeysDefaultsAndWriteOrder) {
  Attach(sim::Model::kQv620);
  WriteFile("mech.ini",
            "[SCAN]\r\nExtraDocSize=10\r\n[FRONT IMG MODULE]\r\nNGoodPixel=5000\r\n"
            "[MICR HEAD]\r\nSpatial Frequency=61000\r\n[MOTOR]\r\nAccel.#00 Speed=-700\r\n");
  ASSERT_EQ(model->SetMechConfig("mech.ini", 0), 1);
  EXPECT_EQ(model->blocks().Get(kBlockTransport, qv62x::kTsExtraDocSize), 50) << "below 28 reads as 50";
  EXPECT_EQ(model->blocks().Get(kBlockImageModule, later::kImFrontGoodPixels), 2048)
      << "clamped to the tables";
  EXPECT_EQ(model->blocks().Get(kBlockMicrHead, qv62x::kMhFrequency), 61000);
  EXPECT_EQ(model->blocks().Get(kBlockMotor, qv62x::kMoAccel), -700);
  ASSERT_EQ(model->GetMechConfig("out.ini", 0), 1);
  const std::string text = ReadText("out.ini");
  EXPECT_NE(text.find("Accel.#00 Speed=-700"), std::string::npos);
  EXPECT_LT(text.find("Accel.#00 Num"), text.find("Accel.#00 Speed")) << "Num before Speed";
  EXPECT_NE(text.find("SpAtial Frequency=61000"), std::string::npos);

  WriteFile("zero.ini", "[SCAN]\r\nExtraDocSize=0\r\n");
  ASSERT_EQ(model->SetMechConfig("zero.ini", 0), 1);
  EXPECT_EQ(model->blocks().Get(kBlockTransport, qv62x::kTsExtraDocSize), 0);
}

TEST_F(Qv62xTest, CalibrationTableNeedsRoomForItsPixelsAndZeroesTheBuffer) {
  Attach(sim::Model::kQv620);
  std::vector<uint8_t> buffer(100, 0xEE);
  EXPECT_EQ(model->GetCfgData(1, buffer.data(), 100), 0);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(model->GetCfgData(1, buffer.data(), -1), 0);
  EXPECT_EQ(model->SetCfgData(5, buffer.data(), -1), 0);
  std::vector<uint8_t> table(864);
  ASSERT_EQ(model->GetCfgData(1, table.data(), 864), 1);
  EXPECT_EQ(table[0], 0xFF);
}

TEST_F(Qv62xTest, DoubleFeedMeasurementGivesTheScannersWordAndEjects) {
  Attach(sim::Model::kQv602);
  std::array<uint8_t, 2> word{};
  ASSERT_EQ(model->GetCfgData(28, word.data(), 2), 1);
  EXPECT_EQ(word[0] | (word[1] << 8), sim::Qv62xDevice::kDoubleFeedMeasure);
  EXPECT_EQ(Qv62xCommandsOf(*device, 2).size(), 1u);
}

TEST_F(Qv62xTest, DoubleFeedMeasurementGivesUpWhenTheScannerNeverAnswers) {
  Attach(sim::Model::kQv602);
  device->SetDoubleFeedMeasure(0);
  std::array<uint8_t, 2> word{};
  const uint64_t start = plat::NowMs();
  EXPECT_EQ(model->GetCfgData(28, word.data(), 2), 0);
  EXPECT_LE(plat::NowMs() - start, ScannerQV62xDeviceTemplate::kDoubleFeedWaitMs + 100);
  device->SetDoubleFeedMeasure(0xFFFF);
  EXPECT_EQ(model->GetCfgData(28, word.data(), 2), 0) << "the scanner's failure word";
}

TEST_F(Qv62xTest, SettingsBlocksGoOncePerChangeAndAFailedSendIsRetried) {
  Attach(sim::Model::kQv620);
  device->RefuseBlocks(1);  // block 33 of the first preparation fails
  WriteFile("scan.ini", "[QV600 CONFIG]\r\n");
  EXPECT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 0);
  EXPECT_EQ(Qv62xBlocksOf(*device, 33).size(), 1u);
  ASSERT_EQ(model->PrepareScan(), 1);
  EXPECT_EQ(Qv62xBlocksOf(*device, 33).size(), 2u) << "the refused block is sent again";
  EXPECT_EQ(Qv62xBlocksOf(*device, 34).size(), 1u) << "blocks that arrived are not";
  const size_t blocks = device->BlocksReceived().size();
  ASSERT_EQ(model->PrepareScan(), 1);
  EXPECT_EQ(device->BlocksReceived().size(), blocks) << "nothing changed, nothing sent";
}

TEST_F(Qv62xTest, TwoScannersConnectedAtOnceEachReceiveTheirBlocks) {
  Attach(sim::Model::kQv620);
  auto second =
      std::static_pointer_cast<sim::Qv62xDevice>(sim::AttachScanner(sim::Model::kQv602, "\\\\.\\KScanDrv-1"));
  ScannerQV62xInterface otherTransport;
  ASSERT_EQ(otherTransport.Open(), 1);
  Qv602 other(otherTransport);
  WriteFile("scan.ini", "[QV600 CONFIG]\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  ASSERT_EQ(other.InitDeviceFromFile("scan.ini", nullptr), 1);
  for (uint16_t type : {33, 34, 35, 36}) {
    EXPECT_EQ(Qv62xBlocksOf(*device, type).size(), 1u) << type;
    EXPECT_EQ(Qv62xBlocksOf(*second, type).size(), 1u) << type;
  }
  otherTransport.Close();
}

TEST_F(Qv62xTest, SetMechConfigSendsEverySectionAndReportsAFailedOne) {
  Attach(sim::Model::kQv620);
  device->RefuseBlocks(1, 68);
  EXPECT_EQ(model->SetMechConfig(nullptr, 0), 0);
  for (uint16_t type : {64, 65, 66, 67, 68}) EXPECT_EQ(Qv62xBlocksOf(*device, type).size(), 1u) << type;
}

TEST_F(Qv62xTest, EepromImageSpellsTheModelAndAnOversizeImageIsRefusedUnwritten) {
  Attach(sim::Model::kQv602);
  Qv62xMechFile& image = model->eepromImage();
  ASSERT_EQ(image.InitImage("123456"), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.header().data()) + 72, 4), "Qv60");
  EXPECT_EQ(image.header()[76], '2');
  EXPECT_EQ(MechFileBaseClass::WriteCounter(image.header()), 1u)
      << "erased device: counter 0xFFFFFFFF gives 1";
  // Records up to 0x6F00 bytes used.
  std::vector<uint8_t> big(0x6F00 - 140 - 12, 0x33);
  ASSERT_EQ(image.AddRecord(300, big.data(), static_cast<int>(big.size())), 1);
  const std::vector<uint8_t> before = device->Eeprom();
  EXPECT_EQ(image.SyncImage(), 0);
  EXPECT_EQ(device->Eeprom(), before) << "nothing written";
}

struct DefaultCase {
  const char* name;
  sim::Model model;
  int tag;
  size_t field;
  int64_t value;
};

class Qv62xDefaults : public Qv62xTest, public ::testing::WithParamInterface<DefaultCase> {};

TEST_P(Qv62xDefaults, DefaultSectionAsEepromBytes) {
  const DefaultCase& c = GetParam();
  Attach(c.model);
  const BlockLayout* layout = qv62x::Qv62xBlockTable().Find(static_cast<uint16_t>(c.tag));
  ASSERT_NE(layout, nullptr);
  std::vector<uint8_t> record(layout->size);
  model->eepromImage().GetDefaultSection(c.tag, record.data(), record.size());
  BlockValues values(qv62x::Qv62xBlockTable());
  ASSERT_TRUE(DecodePayload(values, static_cast<uint16_t>(c.tag), record, ByteOrder::kLittle));
  EXPECT_EQ(values.Get(static_cast<uint16_t>(c.tag), c.field), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Models, Qv62xDefaults,
    ::testing::Values(DefaultCase{"Qv602PosFront", sim::Model::kQv602, 64, later::kImFrontPosition, 333},
                      DefaultCase{"Qv620PosRear", sim::Model::kQv620, 64, later::kImRearPosition, 516},
                      DefaultCase{"Qv620RearTopDown", sim::Model::kQv620, 64, later::kImRearSensor, 2 | 8},
                      DefaultCase{"Qv602StepsPerMeter", sim::Model::kQv602, 65, qv62x::kMoStepsPerMeter,
                                  2800},
                      DefaultCase{"Qv602AccelTableA", sim::Model::kQv602, 65, qv62x::kMoAccel + 2 * 3, 1000},
                      DefaultCase{"Qv620AccelTableB", sim::Model::kQv620, 65, qv62x::kMoAccel + 2 * 3, 970},
                      DefaultCase{"Qv620AccelTail", sim::Model::kQv620, 65, qv62x::kMoAccel + 2 * 31, 1700},
                      DefaultCase{"Qv702SorterPosition", sim::Model::kQv702, 66, qv62x::kTsPosSorter, 860},
                      DefaultCase{"Qv620ExtraDocSize", sim::Model::kQv620, 66, qv62x::kTsExtraDocSize, 28},
                      DefaultCase{"Qv602HeadGain", sim::Model::kQv602, 67, qv62x::kMhGain, 2},
                      DefaultCase{"Qv702PrinterPosition", sim::Model::kQv702, 68, 0, 230}),
    [](const ::testing::TestParamInfo<DefaultCase>& info) { return std::string(info.param.name); });

TEST_F(Qv62xTest, Qv620MendsOldMotorTablesAndItsDocumentEndAllowance) {
  Attach(sim::Model::kQv620);
  // An image holding table A and the old allowance of 28.
  BlockValues values(qv62x::Qv62xBlockTable());
  qv62x::FillMechDefaults(values, qv62x::Model::kQv602);
  values.Set(kBlockTransport, qv62x::kTsExtraDocSize, 28);
  Qv62xMechFile& image = model->eepromImage();
  ASSERT_EQ(image.InitImage("000001"), 1);
  for (uint16_t type : {66, 65}) {
    std::vector<uint8_t> r = EncodePayload(values, type, ByteOrder::kLittle);
    ASSERT_EQ(image.AddRecord(type, r.data(), static_cast<int>(r.size())), 1);
  }
  ASSERT_EQ(model->ReadMechImage(), 1);
  EXPECT_EQ(model->blocks().Get(kBlockTransport, qv62x::kTsExtraDocSize), 50);
  EXPECT_EQ(model->blocks().Get(kBlockMotor, qv62x::kMoAccel + 2 * 3), 970) << "table B";
  EXPECT_EQ(model->blocks().Get(kBlockMotor, qv62x::kMoDecel + 2 * 3), 1000) << "table A";

  // Entries 3-5 at 970, 1000, 1050 are left alone.
  model->blocks().Set(kBlockMotor, qv62x::kMoAccel + 2 * 8, 1234);
  std::vector<uint8_t> r = EncodePayload(model->blocks(), 65, ByteOrder::kLittle);
  ASSERT_EQ(image.InitImage("000001"), 1);
  ASSERT_EQ(image.AddRecord(65, r.data(), static_cast<int>(r.size())), 1);
  ASSERT_EQ(model->ReadMechImage(), 1);
  EXPECT_EQ(model->blocks().Get(kBlockMotor, qv62x::kMoAccel + 2 * 8), 1234);
}

struct CalibCase {
  const char* name;
  const char* version;
  bool calibrates;
};

class Qv620Calibration : public Qv62xTest, public ::testing::WithParamInterface<CalibCase> {};

TEST_P(Qv620Calibration, FirmwareFrom1230CalibratesTheEmptyTrack) {
  Attach(sim::Model::kQv620);
  sim::Identity identity = device->identity();
  identity.version = GetParam().version;
  device->SetIdentity(identity);
  ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
  WriteFile("scan.ini", "[QV600 CONFIG]\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  EXPECT_TRUE(model->initialised());
  const auto feeds = Qv62xCommandsOf(*device, 1);
  const bool calibrated = std::any_of(feeds.begin(), feeds.end(), [](const auto& c) { return c[2] == 2; });
  EXPECT_EQ(calibrated, GetParam().calibrates);
  // The empty track reads 10: the averages, and the thresholds 25 + 2 x 10 above black.
  EXPECT_EQ(model->Averages(0, 0)[100], GetParam().calibrates ? 10 : 0);
  EXPECT_EQ(model->PhotoOut(1, 0)[100], GetParam().calibrates ? 45 : 25);
}

INSTANTIATE_TEST_SUITE_P(Versions, Qv620Calibration,
                         ::testing::Values(CalibCase{"Old", "1.22.9.9", false},
                                           CalibCase{"Current", "1.23.0.0", true}),
                         [](const ::testing::TestParamInfo<CalibCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(Qv62xTest, FailedCalibrationKeepsTheOldAveragesAndLeavesCalibrationMode) {
  Attach(sim::Model::kQv620);
  sim::Identity identity = device->identity();
  identity.version = "1.23.0.0";
  device->SetIdentity(identity);
  WriteFile("scan.ini", "[QV600 CONFIG]\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  const uint8_t before = model->Averages(0, 0)[100];
  device->RefuseRawReads(1);
  EXPECT_EQ(model->SelfCalib(0), 0);
  EXPECT_EQ(model->Averages(0, 0)[100], before);
  const auto feeds = Qv62xCommandsOf(*device, 1);
  ASSERT_FALSE(feeds.empty());
  EXPECT_NE(feeds.back()[2], 2) << "the feeder leaves calibration mode";
}

TEST_F(Qv62xTest, ClearErrorsByModel) {
  Attach(sim::Model::kQv702);
  const size_t sent = device->CommandsReceived().size();
  EXPECT_EQ(model->ClearErrors(), 1);
  EXPECT_EQ(device->CommandsReceived().size(), sent) << "no error bit: nothing sent";
  device->SetWords(0x8, 0x1);
  EXPECT_EQ(model->ClearErrors(), 1);
  EXPECT_EQ(Qv62xCommandsOf(*device, 8).size(), 1u);

  Attach(sim::Model::kQv602);
  EXPECT_EQ(model->ClearErrors(), 1);
  const auto feeds = Qv62xCommandsOf(*device, 1);
  ASSERT_EQ(feeds.size(), 1u);
  EXPECT_EQ(feeds[0][2], 0) << "the QV602 turns its feeder off";
}

}  // namespace
}  // namespace qv6::testing
