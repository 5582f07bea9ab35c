// The QV600 back-end's pure rules: firmware name derivations, identity texts, the magnetic-line merge and
// the driver-file conversions.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/ini.h"
#include "qv6/qv6dll.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"
#include "platform/paths.h"
#include "zarn/params.h"
#include "zarn/status.h"

#include "api_fixture.h"
#include "zarn/qv600.h"

namespace zarn {
namespace {

struct DeriveCase {
  const char* name;
  const char* value;
  int row;
  const char* expected;
};

class FirmwareDerivation : public ::testing::TestWithParam<DeriveCase> {};

TEST_P(FirmwareDerivation, RewritesOnlyForeignModelNames) {
  const DeriveCase& c = GetParam();
  EXPECT_EQ(DeriveFirmwareName(c.value, c.row), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirmwareDerivation,
    ::testing::Values(
        DeriveCase{"Qv630NameForQv620Row", "C:\\FW\\QV630FIRMWARE.BIN", 0, "C:\\FW\\QV620Firmware.bin"},
        DeriveCase{"Qv630NameForRm70Row", "C:\\FW\\QV630FIRMWARE.BIN", 3, "C:\\FW\\RM70Firmware.bin"},
        DeriveCase{"Qv630NameKeptForOwnRow", "C:\\FW\\QV630FIRMWARE.BIN", 1, "C:\\FW\\QV630FIRMWARE.BIN"},
        DeriveCase{"Qv840NameForQv640Row", "D:\\X\\QV840FIRMWARE.BIN", 5, "D:\\X\\QV640Firmware.bin"},
        DeriveCase{"Qv840NameForRm70KfRow", "D:\\X\\QV840FIRMWARE.BIN", 4, "D:\\X\\RM70KFFirmware.bin"},
        DeriveCase{"Rm70KfNameForQv630Row", "E:\\RM70KFFIRMWARE.BIN", 1, "E:\\QV630Firmware.bin"},
        DeriveCase{"Rm70NameForQv620Row", "E:\\RM70FIRMWARE.BIN", 0, "E:\\QV620Firmware.bin"},
        DeriveCase{"NoModelKept", "C:\\FW\\OTHER_FIRMWARE.BIN", 0, "C:\\FW\\OTHER_FIRMWARE.BIN"},
        DeriveCase{"FourteenCharactersKept", "QV630FIRMW.BIN", 0, "QV630FIRMW.BIN"},
        // Lengths 15 to 17: the model word would start before the value; nothing is read or cut there.
        DeriveCase{"Length15Kept", "630FIRMWARE.BIN", 0, "630FIRMWARE.BIN"},
        DeriveCase{"Length16Rm70Matches", "RM70FIRMWARE.BIN", 0, "QV620Firmware.bin"},
        DeriveCase{"Length17Qv630Matches", "QV630FIRMWARE.BIN", 0, "QV620Firmware.bin"},
        DeriveCase{"Length17Rm70KfOutside", "M70KFFIRMWARE.BIN", 0, "M70KFFIRMWARE.BIN"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(FirmwareRename, DriverFileRuleFollowsEachRowsRecognisedModels) {
  // The QV840 row does not recognise the QV640 name; every other row takes its own name instead.
  EXPECT_EQ(RenameFirmwareForRow("C:\\FW\\QV640FIRMWARE.BIN", 2), "C:\\FW\\QV640FIRMWARE.BIN");
  EXPECT_EQ(RenameFirmwareForRow("C:\\FW\\QV640FIRMWARE.BIN", 0), "C:\\FW\\QV620Firmware.bin");
  EXPECT_EQ(RenameFirmwareForRow("C:\\FW\\QV630FIRMWARE.BIN", 2), "C:\\FW\\QV840Firmware.bin");
  EXPECT_EQ(RenameFirmwareForRow("C:\\FW\\QV630FIRMWARE.BIN", 1), "C:\\FW\\QV630FIRMWARE.BIN");
  EXPECT_EQ(RenameFirmwareForRow("QV630FIRMWA.BIN", 0), "QV630FIRMWA.BIN");
}

TEST(DescriptorFile, NameFollowsTheConfigurationFolderWithinItsLimit) {
  EXPECT_EQ(DescriptorFileName(nullptr), ".\\qv8cfg.tmp");
  EXPECT_EQ(DescriptorFileName(""), ".\\qv8cfg.tmp");
  EXPECT_EQ(DescriptorFileName("C:\\cfg"), "C:\\cfg\\qv8cfg.tmp");
  EXPECT_EQ(DescriptorFileName(".\\"), ".\\qv8cfg.tmp");
  EXPECT_EQ(DescriptorFileName(std::string(250, 'a').c_str()), ".\\qv8cfg.tmp");
  EXPECT_EQ(DescriptorFileName(std::string(244, 'a').c_str()), std::string(244, 'a') + "\\qv8cfg.tmp");
}

TEST(IdentityMatch, LowFiveBitsCompareAndPatternsMustFit) {
  EXPECT_EQ(funcMatchIdentityString("VEK Corporation", "vek corp"), 1);
  EXPECT_EQ(funcMatchIdentityString("Orvisca Scanner Qv630", "Scanner QV630"), 1);
  EXPECT_EQ(funcMatchIdentityString("abc", ""), 1);
  EXPECT_EQ(funcMatchIdentityString("ab", "abc"), 0);
  EXPECT_EQ(funcMatchIdentityString("Scanner Qv620", "Scanner Qv630"), 0);
}

TEST(IdentityText, StaysInsideTheBlock) {
  const char block[] = {'A', 0, 'B', 'B', 0, 'C', 'C', 'C'};  // third text unterminated
  EXPECT_EQ(IdentityText(block, sizeof block, 1), "A");
  EXPECT_EQ(IdentityText(block, sizeof block, 2), "BB");
  EXPECT_EQ(IdentityText(block, sizeof block, 3), "CCC");
  EXPECT_EQ(IdentityText(block, sizeof block, 4), "");
  EXPECT_EQ(IdentityText(block, sizeof block, 9), "");
}

struct MergeCase {
  const char* name;
  const char* a;
  const char* b;
  const char* merged;
  int repaired;
  int left;
};

constexpr const char* kOnes120 =
    "111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111";
constexpr const char* kOnes80 = "11111111111111111111111111111111111111111111111111111111111111111111111111111111";

class MicrMerge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MicrMerge, FollowsTheRepairRules) {
  const MergeCase& c = GetParam();
  int repaired = -1, left = -1;
  EXPECT_EQ(MergeMicrLines(c.a, c.b, &repaired, &left), c.merged);
  EXPECT_EQ(repaired, c.repaired);
  EXPECT_EQ(left, c.left);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MicrMerge,
    ::testing::Values(MergeCase{"Equal", "123", "123", "123", 0, 0},
                      MergeCase{"RejectRepaired", "1@3", "123", "123", 1, 0},
                      MergeCase{"SecondRejectIgnored", "123", "1@3", "123", 0, 0},
                      MergeCase{"BlankInFirstKept", "1 3", "13", "1 3", 0, 0},
                      MergeCase{"BlankInSecondSkipped", "13", "1 3", "13", 0, 0},
                      MergeCase{"TwoAndFiveTrustFirst", "2", "5", "2", 0, 0},
                      MergeCase{"ColonFourRepaired", ":", "4", "4", 1, 0},
                      MergeCase{"RoundDigitsTakeSecond", "6", "9", "9", 1, 0},
                      MergeCase{"OtherConflictLeft", "1", "7", "1", 0, 1},
                      MergeCase{"SecondShorterLeavesRest", "12", "1", "12", 0, 1},
                      MergeCase{"EmptyFirstEndsAtItsNul", "", "12", "", 0, 2},
                      MergeCase{"RejectAgainstEndOfSecondKept", "1234@", "1234", "1234@", 0, 1},
                      MergeCase{"RejectAgainstEmptySecondKept", "@", "", "@", 0, 1},
                      MergeCase{"RejectsAndBlankAgainstEmptySecond", "@ @", "", "@ @", 0, 2},
                      MergeCase{"CutAtEightyCharacters", kOnes120, "", kOnes80, 0, 80}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zarn

namespace zarn {
namespace {

class DriverFile : public testing::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    ResetDriverFileForTests();
    Start(kFamilyQv600);
  }
  void TearDown() override {
    ResetDriverFileForTests();
    ApiTest::TearDown();
  }
  int Written(const char* key) { return plat::ReadProfileInt("QV600 CONFIG", key, -999, ".\\qv6cfg.tmp"); }
};

TEST_F(DriverFile, DefaultFileEqualsTheGoldenFile) {
  ASSERT_EQ(WriteDriverFileRows(), 0);
  std::ifstream golden(ZC_QV600_GOLDEN_DRIVER_FILE, std::ios::binary);
  ASSERT_TRUE(golden.good());
  const std::string expected((std::istreambuf_iterator<char>(golden)), std::istreambuf_iterator<char>());
  EXPECT_EQ(dir_.Read("qv6cfg.tmp"), expected);
  EXPECT_EQ(QV600DriverIniTable().size(), kDriverIniRows + 1);
}

struct ConversionCase {
  const char* name;
  int id;
  int value;
  const char* key;
  int written;
};

class DriverConversion : public DriverFile, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(DriverConversion, WritesTheDriversForm) {
  const ConversionCase& c = GetParam();
  ZARNSetParam(42, 0);
  ZARNSetParam(43, 0);
  ASSERT_GE(ZARNSetParam(c.id, c.value), 0);
  ASSERT_EQ(WriteDriverFileRows(), 0);
  EXPECT_EQ(Written(c.key), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DriverConversion,
    ::testing::Values(ConversionCase{"FrontFollowsFrontAndRear", 43, 1, "FRONT_IMG Enable", 1},
                      ConversionCase{"FrontOffWithBothOff", 42, 0, "FRONT_IMG Enable", 0},
                      ConversionCase{"ResolutionCode4Is300", 6, 4, "REAR_IMG Resolution", 300},
                      ConversionCase{"ResolutionCode0Is100", 6, 0, "FRONT_IMG Resolution", 100},
                      ConversionCase{"ResolutionCode1Is200", 6, 1, "FRONT_IMG Resolution", 200},
                      ConversionCase{"Gray256", 45, 1, "FRONT_IMG GrayLevels", 256},
                      ConversionCase{"Gray16", 45, 0, "REAR_IMG GrayLevels", 16},
                      ConversionCase{"Intensity19", 86, 19, "PRINTER Intensity", 4},
                      ConversionCase{"Intensity100", 86, 100, "PRINTER Intensity", 5},
                      ConversionCase{"Density1", 87, 1, "PRINTER Density", 4},
                      ConversionCase{"Density9", 87, 9, "PRINTER Density", 6}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(DriverFile, FirmwareRowsFollowTheParameterAndAnEmptyOneLeavesTheFile) {
  ASSERT_EQ(WriteDriverFileRows(), 0);
  EXPECT_EQ(plat::ReadProfileString("QV620 DRIVER", "QV620_Firmw", "none", ".\\qv6cfg.tmp"), "none");
  funcTableSetParamString(138, "C:\\fw\\qv630firmware.bin");
  ASSERT_EQ(WriteDriverFileRows(), 0);
  EXPECT_EQ(plat::ReadProfileString("QV620 DRIVER", "QV620_Firmw", "", ".\\qv6cfg.tmp"), "C:\\FW\\QV620Firmware.bin");
  EXPECT_EQ(plat::ReadProfileString("QV620 DRIVER", "QV630_Firmw", "", ".\\qv6cfg.tmp"), "C:\\FW\\QV630FIRMWARE.BIN");
  EXPECT_EQ(plat::ReadProfileString("QV620 DRIVER", "QV840_Firmw", "", ".\\qv6cfg.tmp"), "C:\\FW\\QV840Firmware.bin");
}

TEST_F(DriverFile, UnwritableFileGivesDiskError) {
  ASSERT_TRUE(plat::CreateDirectory(".\\blocked"));
  EXPECT_EQ(funcKWLWriteIniFileQV600(".\\blocked"), kDiskReadWrite);
}

}  // namespace
}  // namespace zarn

namespace zarn {
namespace {

class SamplesCallback : public testing::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    ResetQv600ForTests();
    Start(kFamilyQv600, 230);
    OpenConnectionDecoders();
  }
  void TearDown() override {
    ResetQv600ForTests();
    ApiTest::TearDown();
  }
  static void Deliver(const std::vector<uint16_t>& samples) {
    QV6MicrSamples record{samples.data(), static_cast<int>(samples.size() * sizeof(uint16_t))};
    cbMICRRaw(QV6_EVENT_MICR_SAMPLES, reinterpret_cast<intptr_t>(&record));
  }
  static std::vector<uint16_t> E13b(const char* printed) {
    return micrkit::SampleTrace(micrkit::E13bTrace(printed, {}), micrkit::FormatForPreset(3, 63200));
  }
};

TEST_F(SamplesCallback, AutomaticFontTakesTheSecondReadingWhenTheFirstFindsNothing) {
  funcTableSetParam(2, 2);
  Deliver(E13b("1234567890123"));
  EXPECT_NE(Qv600CodeLine().find("1234567890123"), std::string::npos) << Qv600CodeLine();
  EXPECT_EQ(Qv600().krDecodeKept.load(), 0);
  EXPECT_EQ(Qv600().documentStatus.load() & kDocCodeLine, kDocCodeLine);
}

TEST_F(SamplesCallback, E13bFontKeepsTheFirstReadingAgainstUnresolvedDifferences) {
  funcTableSetParam(2, 1);
  Deliver(E13b("1234567890123"));
  // The placeholder first decoder reads nothing: every second-reading character is left unresolved.
  EXPECT_EQ(Qv600CodeLine(), "");
  EXPECT_EQ(Qv600().documentStatus.load() & kDocCodeLine, kDocCodeLine);
}

TEST_F(SamplesCallback, NullOrEmptySamplesPublishSafely) {
  cbMICRRaw(QV6_EVENT_MICR_SAMPLES, 0);
  EXPECT_EQ(Qv600().documentStatus.load(), 0u);
  Deliver({});
  EXPECT_EQ(Qv600CodeLine(), "");
  EXPECT_EQ(Qv600().documentStatus.load() & kDocCodeLine, kDocCodeLine);
}

}  // namespace
}  // namespace zarn
