// The scanner-manager client against its stand-in library, and the record lines it writes.
#include <gtest/gtest.h>

#include <cstdlib>

#include <cstdint>
#include <string>

#include "api_fixture.h"
#include "platform/dynlib.h"
#include "zarn/ferlo.h"
#include "zarn/params.h"
#include "zarn/record_file.h"
#include "zarn/statistics.h"

namespace zarn {
namespace {

class FixedDevice : public StatisticsDevice {
 public:
  int Serial(int, std::string& serial, int& documents, int& minutes) override {
    serial = "SN42";
    documents = 1234;
    minutes = 5;
    return 0;
  }
  int Info(std::string& v, std::string& p, std::string& r) override {
    v = "Vendor";
    p = "QV630";
    r = "1.07";
    return 0;
  }
  std::string Now() override { return "2026:03:04 05:06:07"; }
};

std::string Library(const char* variant) {
  return std::string(ZC_FERLO_DIR) + "/ferlo_" + variant + "/FerloScannerDLL.dll";
}

// The stand-in's record of calls (the client's load shares the same loaded module).
std::string StandInCalls(const char* variant, bool clear = false) {
  plat::ModuleHandle m = plat::LoadLibraryA(Library(variant).c_str());
  if (m == nullptr) return "<not loaded>";
  using Calls = const char* (*)();
  using Clear = void (*)();
  const std::string calls = reinterpret_cast<Calls>(plat::GetProcAddress(m, "FerloStandInCalls"))();
  if (clear) reinterpret_cast<Clear>(plat::GetProcAddress(m, "FerloStandInClear"))();
  return calls;
}

class FerloTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    ResetFerloForTests();
    SetFerloDevice(&device_);
    StandInCalls("full", true);
  }
  void TearDown() override {
    ResetFerloForTests();
    SetFerloDevice(nullptr);
    ApiTest::TearDown();
  }
  FixedDevice device_;
};

TEST_F(FerloTest, InitDescribesTheWorkstationInOrder) {
  funcTableSetParam(182, 1);
  funcTableSetParamString(177, Library("full").c_str());
  ASSERT_EQ(FerloInit(), 0);
  EXPECT_TRUE(FerloActive());
  EXPECT_EQ(FerloReportError(-217, nullptr), 0);
  EXPECT_EQ(FerloExit(), 0);
  const std::string api = std::to_string(funcGetApiVersion());
  const std::string model = std::to_string(funcTableGetParam(167));
  EXPECT_EQ(StandInCalls("full"),
            "Initialize|Vendor|Orvisca Scanner|Qv" + model + "\n"
            "SetSerialNumber|SN42\n"
            "WriteData|WorkstationID|ScannerFirmwareVersion|1.07\n"
            "WriteData|WorkstationID|ScannerAPIVersion|" + api + "\n"
            "WriteData|WorkstationID|LifetimeDocumentCount|1234\n"
            "WriteData|WorkstationID|SecondaryApiVersion|0\n"
            "BeginDocument\n"
            "WriteData|Exception|BeginException|\n"
            "WriteData|Exception|Severity|5\n"
            "WriteData|Exception|Class|0\n"
            "WriteData|Exception|APIError|-217\n"
            "WriteData|Exception|APIText|Error Double Feed Detected\n"
            "WriteData|Exception|EndException|\n"
            "EndDocument\n"
            "ShutDown\n");
}

TEST_F(FerloTest, UnknownCodesAreReportedAsUnknownErrors) {
  funcTableSetParam(182, 1);
  funcTableSetParamString(177, Library("full").c_str());
  ASSERT_EQ(FerloInit(), 0);
  StandInCalls("full", true);
  FerloReportError(-608, nullptr);
  FerloReportError(-212, nullptr);  // an empty feeder is no failure
  const std::string calls = StandInCalls("full");
  EXPECT_NE(calls.find("Severity|10\n"), std::string::npos);
  EXPECT_NE(calls.find("APIText|Unknown Error\n"), std::string::npos);
  EXPECT_EQ(calls.find("-212"), std::string::npos);
}

// Without a configured path the manager is looked for in the folder %FERLO_PATH% names, and without that
// variable by its bare name in the usual folders.
TEST_F(FerloTest, WithoutAConfiguredPathTheLibraryComesFromFerloPath) {
  funcTableSetParam(182, 1);
  funcTableSetParamString(177, "");
  StandInCalls("full", true);
  ::setenv("FERLO_PATH", (std::string(ZC_FERLO_DIR) + "/ferlo_full").c_str(), 1);
  EXPECT_EQ(FerloInit(), 0);
  EXPECT_EQ(FerloExit(), 0);
  EXPECT_EQ(StandInCalls("full", true).rfind("Initialize|", 0), 0u);
  ::unsetenv("FERLO_PATH");
  EXPECT_EQ(FerloInit(), 2);  // no "FerloScannerDLL.dll" in the program's, current or Windows folders
  FerloExit();
  EXPECT_EQ(StandInCalls("full"), "");
}

struct LoadCase {
  const char* name;
  const char* variant;
  int result;
};

class FerloLoadTest : public FerloTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(FerloLoadTest, LoadNeedsTheLibraryAndAllElevenExports) {
  funcTableSetParam(182, 1);
  funcTableSetParam(186, 1);
  funcTableSetParamString(177, Library(GetParam().variant).c_str());
  EXPECT_EQ(FerloInit(), GetParam().result);
  // Without an interface object the wrappers do nothing.
  FerloReportError(-216, nullptr);
  FerloExit();
  EXPECT_EQ(dir_.Read("zarnapi.txt").substr(0, 26), "ISN42|2026|03|04|05|06|07|");
}

INSTANTIATE_TEST_SUITE_P(
    Variants, FerloLoadTest,
    ::testing::Values(LoadCase{"Missing", "absent", 2}, LoadCase{"OneExportMissing", "missing_export", 2},
                      LoadCase{"NullObject", "null_object", 0}),
    [](const ::testing::TestParamInfo<LoadCase>& p) { return std::string(p.param.name); });

TEST_F(FerloTest, SmallCompressedImageMarksTheDocumentDefective) {
  funcTableSetParam(182, 1);
  funcTableSetParam(186, 1);
  funcTableSetParamString(177, Library("full").c_str());
  ASSERT_EQ(FerloInit(), 0);
  StandInCalls("full", true);
  int32_t iqa[32] = {};
  iqa[10] = 12;           // black pixels, neither too dark nor too light
  iqa[11] = 800;          // compressed size below the minimum
  iqa[23] = 60 * 256 + 27;  // 6.0 x 2.7 inches
  iqa[24] = 200;
  ASSERT_EQ(FerloReportDocument(iqa, 0, 55, "123 45", "9 19", "", "1@3 4"), 0);
  FerloExit();
  const std::string calls = StandInCalls("full");
  const size_t begin = calls.find("BeginDocument\n");
  ASSERT_NE(begin, std::string::npos);
  for (const char* want : {"WriteData|MICRReadsStatics|NumberOfScannerMICRRejectCharacter|1\n",
                           "WriteData|MICRReadsStatics|NumberOfCodelineCharacterReturned|4\n",
                           "WriteData|OEMDocInfo|NumOcrCharsHighConfidence|1\n",
                           "WriteData|OEMDocInfo|NumOcrCharsLowConfidence|4\n",
                           "WriteData|IQAStaticFront|ImageHeight|27\n",
                           "WriteData|IQAStaticFront|CompressedImageSize|800\n",
                           "WriteData|IQAStaticFront|BelowMinimumCompressedImageSize|1\n",
                           "WriteData|IQAStaticFront|DocWithDefects|1\n",
                           "WriteData|ExtendedInfo|ExtendedDetails|60x27x200Q256T55C800S0D12S0B0S0M1\n",
                           "WriteData|ExtendedInfo|Number1|100\nEndDocument\n"}) {
    EXPECT_NE(calls.find(want, begin), std::string::npos) << want;
  }
  EXPECT_NE(dir_.Read("zarnapi.txt").find("\r\nD4|1|5|4|60|27|200|0|55|800|0|12|0|0|0|0|0|0|0|||||\r\n"),
            std::string::npos);
}

TEST_F(FerloTest, NotEnabledGivesOne) { EXPECT_EQ(FerloInit(), 1); }

struct DoubleFeedCase {
  const char* name;
  int mode;
  const char* codeLine;
  const char* record;
};

class DoubleFeedRecordTest : public FerloTest, public ::testing::WithParamInterface<DoubleFeedCase> {};

TEST_P(DoubleFeedRecordTest, RefinesTheErrorRecord) {
  funcTableSetParam(186, 1);
  funcTableSetParam(7, GetParam().mode);
  FerloReportError(-217, GetParam().codeLine);
  FerloReportError(-212, GetParam().codeLine);
  FerloWriteRecord("EXIT");
  EXPECT_EQ(dir_.Read("zarnapi.txt"), std::string(GetParam().record) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DoubleFeedRecordTest,
    ::testing::Values(DoubleFeedCase{"ModeBelowTwo", 1, "@@", "E217.1|"},
                      DoubleFeedCase{"NoCodeLine", 2, nullptr, "E217.2|"},
                      DoubleFeedCase{"TwoRejects", 2, "1@2@", "E217.2|"},
                      DoubleFeedCase{"ThreeTransitSymbols", 2, ":1:2:", "E217.3|"},
                      DoubleFeedCase{"ThreeAmountSymbols", 2, ";1;2;", "E217.3|"},
                      DoubleFeedCase{"Otherwise", 2, "@::;;", "E217.4|"}),
    [](const ::testing::TestParamInfo<DoubleFeedCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zarn
