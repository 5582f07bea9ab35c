// The VEKQv5xx series' pure parts and command set: the status mapping (one row per bit), the gain clamps,
// head offset code, potentiometer and AGC verdicts, a short status block, the command table on the wire,
// and a boot-loader RM 70 / RM 70 KF taking its firmware records without a loader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "identity/identity_block.h"
#include "qv6/vekqv5xx/vekqv5xx_status.h"
#include "../../later/tests/recording_view.h"
#include "sim/firmware_package_builder.h"
#include "vekqv5xx_fixture.h"

namespace qv6::testing {
namespace {

using vekqv5xx::StatusInputs;

struct StatusRow {
  const char* name;
  StatusInputs in;
  uint32_t status;  // beyond 0x80000001
  uint32_t errors;
};

StatusInputs Flags(uint8_t s0, uint8_t s1, uint8_t s2, int eventMode = 0) {
  StatusInputs in;
  in.s0 = s0;
  in.s1 = s1;
  in.s2 = s2;
  in.eventMode = eventMode;
  in.frontEnabled = in.rearEnabled = true;
  return in;
}

class StatusMapping : public ::testing::TestWithParam<StatusRow> {};

TEST_P(StatusMapping, BitGivesItsWordBits) {
  const StatusRow r = GetParam();
  const later::StatusWords w = vekqv5xx::ComposeStatusWords(r.in);
  EXPECT_EQ(w.status, 0x80000001u | r.status);
  EXPECT_EQ(w.errors, r.errors);
}

StatusInputs Held(int eventMode, bool micr, bool front, bool rear, bool final) {
  StatusInputs in = Flags(0, 0, 0, eventMode);
  in.micrHeld = micr;
  in.frontHeld = front;
  in.rearHeld = rear;
  in.imagesFinal = final;
  return in;
}

StatusInputs ModeThree(uint8_t s0) {
  StatusInputs in = Flags(s0, 0, 0x1C);
  in.scanMode = 3;
  return in;
}

INSTANTIATE_TEST_SUITE_P(
    OneRowPerBit, StatusMapping,
    ::testing::Values(StatusRow{"Nothing", Flags(0, 0, 0), 0, 0},
                      StatusRow{"PowerOn", Flags(0x01, 0, 0), 0x2, 0},
                      StatusRow{"ScanEnabled", Flags(0x02, 0, 0), 0x80, 0},
                      StatusRow{"Feeding", Flags(0x04, 0, 0), 0x4, 0},
                      StatusRow{"DirectionAlone", Flags(0x08, 0, 0), 0, 0},
                      StatusRow{"DeviceError", Flags(0x20, 0, 0), 0x8, 0x100},
                      StatusRow{"InsertionError", Flags(0x40, 0, 0), 0x8, 0x2},
                      StatusRow{"Jam", Flags(0x80, 0, 0), 0x8, 0x80},
                      StatusRow{"InkJet", Flags(0, 0x01, 0), 0x40, 0},
                      StatusRow{"FeedSensor", Flags(0, 0x02, 0), 0x10, 0},
                      StatusRow{"SyncSensor", Flags(0, 0x04, 0), 0x20, 0},
                      StatusRow{"ExitSensor", Flags(0, 0x08, 0), 0x800, 0},
                      StatusRow{"ModeSelect", Flags(0, 0x10, 0), 0x2000, 0},
                      StatusRow{"PocketSensor", Flags(0, 0x20, 0), 0x4000, 0},
                      StatusRow{"SamplesReady", Flags(0, 0, 0x10), 0x100000, 0},
                      StatusRow{"ImagesReadyNeedsBothBits", Flags(0, 0, 0x04), 0, 0},
                      StatusRow{"ImagesReady", Flags(0, 0, 0x0C), 0x600000, 0},
                      StatusRow{"EventModeIgnoresTheDevice", Flags(0, 0, 0x1C, 1), 0, 0},
                      StatusRow{"EventModeMicrHeld", Held(1, true, false, false, false), 0x100000, 0},
                      StatusRow{"EventModeImagesNotFinal", Held(1, false, true, true, false), 0, 0},
                      StatusRow{"EventModeImagesFinal", Held(1, false, true, true, true), 0x600000, 0},
                      StatusRow{"ScanModeThreeWithDirection", ModeThree(0x08), 0, 0},
                      StatusRow{"ScanModeThreeWithoutDirection", ModeThree(0), 0x700000, 0}),
    [](const ::testing::TestParamInfo<StatusRow>& p) { return std::string(p.param.name); });

TEST(VekGain, ClampsCodesAndPotentiometer) {
  EXPECT_EQ(vekqv5xx::ClampGain(5), 10u);
  EXPECT_EQ(vekqv5xx::ClampGain(1500), 1000u);
  EXPECT_EQ(vekqv5xx::ClampGain(-1), 1000u);  // taken as unsigned
  EXPECT_EQ(vekqv5xx::ClampGain(250), 250u);
  const auto offset = vekqv5xx::HeadOffsetCode(-1500);
  EXPECT_EQ(offset.code, 0x70);
  EXPECT_EQ(offset.magnitude, 153);
  const auto zero = vekqv5xx::HeadOffsetCode(0);
  EXPECT_EQ(zero.code, 0x71);
  EXPECT_EQ(zero.magnitude, 0);
  EXPECT_EQ(vekqv5xx::HeadOffsetCode(30000).magnitude, 255);
  EXPECT_EQ(vekqv5xx::Potentiometer(128, 100), 128);
  EXPECT_EQ(vekqv5xx::Potentiometer(128, 0), 255);  // a gain of 0 divides by no zero
  EXPECT_EQ(vekqv5xx::Potentiometer(255, 1000), 0);
}

TEST(VekGain, AgcVerdicts) {
  std::vector<uint16_t> samples(40, 0x8000);
  // The first four samples are never looked at.
  std::fill_n(samples.begin(), 4, 0xFFFF);
  EXPECT_EQ(vekqv5xx::RunAgc(samples, 100).gain, 255u);
  std::fill_n(samples.begin() + 4, 11, 0xFFFF);
  EXPECT_EQ(vekqv5xx::RunAgc(samples, 100).gain, 0u);
  std::fill(samples.begin() + 4, samples.end(), 0x8000);
  std::fill_n(samples.begin() + 4, 11, 1);
  EXPECT_EQ(vekqv5xx::RunAgc(samples, 100).gain, 0u);
  std::fill(samples.begin() + 4, samples.end(), 0x8000);
  std::fill_n(samples.begin() + 4, 10, 0);
  EXPECT_EQ(vekqv5xx::RunAgc(samples, 100).gain, 100u);  // some clipping: unchanged
  EXPECT_EQ(vekqv5xx::RunAgc(std::span<const uint16_t>(samples).first(4), 300).gain, 300u);
}

TEST_F(VEKQv500Test, ShortStatusLeavesTheMissingFieldsZero) {
  device->SetFlags(0x01, 0x02, 0x1C);
  device->SetWord(4, 500);
  device->SetStatusLength(2);
  int status = 0, errors = 0;
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status), 0x80000013u);
  EXPECT_EQ(model->StatusByte(2), 0);
}

TEST_F(VEKQv500Test, LengthValidBeforeConfigurationDividesByNoZero) {
  device->SetFlags(0, 0, 0x04);
  device->SetWord(1, 3000);
  ASSERT_EQ(model->ReadStatusBlock(), 1);
  EXPECT_EQ(model->documentLength(), 3000u * 254 / 300);
}

TEST_F(VEKQv500Test, CommandTableOnTheWire) {
  VEKQv500Commands commands(transport);
  DeviceCommandRequest request;
  request.opcode = 11;
  request.p = {1, 0, 0, 0, 0};
  EXPECT_EQ(commands.SendCommand(request), 1);
  request.opcode = 2;
  request.p = {0, 2, 9, 9, 9};
  EXPECT_EQ(commands.SendCommand(request), 1);
  request.opcode = 6;
  EXPECT_EQ(commands.SendCommand(request), 1);
  EXPECT_EQ(device->CommandsReceived(), (std::vector<std::vector<uint8_t>>{{0, 2, 0, 2}}));
}

TEST_F(VEKQv500Test, BootLoaderTakesTheFirmwareRecordsWithoutALoader) {
  for (sim::Model which : {sim::Model::kRm70, sim::Model::kRm70Kf}) {
    Attach(which, sim::Firmware::kBootLoader);
    const std::string text = which == sim::Model::kRm70 ? "Orvisca Scanner RM 70" : "Orvisca Scanner RM 70 KF";
    VEKQv500Commands commands(transport);
    std::array<uint8_t, 118> identity{};
    ASSERT_EQ(commands.Identify(identity.data(), identity.size()), 1);
    EXPECT_EQ(std::string(CQv6Info(identity.data(), identity.size()).model()), text);
    EXPECT_EQ(std::string(CQv6Info(identity.data(), identity.size()).version()), "99.99.99.99");
    // Firmware across the split: records above 0x3FFF first, the rest while the controller is held.
    const std::vector<uint8_t> image = sim::FirmwareImage("VEK Corp.", "2.1.0.0", 512);
    ASSERT_EQ(commands.DownloadFirmware({}, sim::RecordList(0x3F00, image)), 1);
    EXPECT_EQ(device->FirmwareDownloads(), 1);
    EXPECT_FALSE(device->CpuInReset());
    ASSERT_EQ(commands.Identify(identity.data(), identity.size()), 1);
    EXPECT_EQ(std::string(CQv6Info(identity.data(), identity.size()).model()), text);
    EXPECT_EQ(std::string(CQv6Info(identity.data(), identity.size()).version()), "2.1.0.0");
  }
}

// At connection "Loading configuration" stays shown once the configuration is loaded: it is never cleared.
TEST_F(VEKQv500Test, FirmwareUpdateLeavesTheConfigurationTextShown) {
  sim::WritePackage("RM70Firmware.bin", sim::StandardPackage("VEK Corporation", "1.0.0.0"));
  RecordingView view;
  EXPECT_EQ(model->StartUp({"RM70Firmware.bin", "OK", "1.0.0.0", "VEK Corporation", &view}), 1);
  EXPECT_EQ(view.texts, (std::vector<std::string>{"Loading configuration"}));
  for (uint16_t type = 64; type <= 68; ++type) EXPECT_EQ(Received(type).size(), 1u) << type;
  EXPECT_EQ(Commands(4).size(), 1u);
}

}  // namespace
}  // namespace qv6::testing

namespace qv6::testing {
namespace {

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(VEKQv500Test, ScanFileKeysAreClampedAndWrittenInTheirOrder) {
  WriteFile("scan.ini", "[QV600 CONFIG]\r\nMICR Gain (x0.01)=-1\r\nSCAN Mode=9\r\nMICR AGC=5\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  EXPECT_EQ(model->baseGain(), 1000u);
  EXPECT_EQ(model->scanMode(), 3);
  EXPECT_TRUE(model->agc());

  WriteFile("fresh.ini", "[QV600 CONFIG]\r\nFrankerMode=2\r\nMICR Gain (x0.01)=5\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("fresh.ini", nullptr), 1);
  EXPECT_EQ(model->baseGain(), 10u);
  WriteFile("fresh.ini", "[QV600 CONFIG]\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("fresh.ini", nullptr), 1);
  const std::string text = ReadText(dir_ / "fresh.ini");
  for (const char* absent : {"RS232", "DOUBLE FEED", "Feed Solenoid", "SORTER"}) {
    EXPECT_EQ(text.find(absent), std::string::npos) << absent;
  }
  const std::vector<const char*> order = {"SCAN Mode=0",        "FRONT_IMG",  "MICR Spaces",
                                          "MICR Gain (x0.01)=100", "MICR AGC=0", "PRINTER Font 12dot",
                                          "FrankerComment=Mode:0=off,1=always,2=smart/MICR,3=ext",
                                          "FrankerMode=0",      "FrankerSmartModeBadQtyAllowed=0"};
  size_t at = 0;
  for (const char* key : order) {
    const size_t found = text.find(key, at);
    ASSERT_NE(found, std::string::npos) << key;
    at = found;
  }
}

}  // namespace
}  // namespace qv6::testing
