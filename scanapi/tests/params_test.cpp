// The parameter tables and ZARNSetParam / ZARNGetParam: sizes, conversions, model rules, the one-shot
// QV630_65 mode, the MICR-method switch, and what a change writes where.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "api_fixture.h"
#include "recording_backend.h"
#include "zarn/params.h"
#include "zarn/status.h"

namespace zarn {
namespace {

class ParamsTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    InstallBackendHooks(&backend_);
  }
  testing::RecordingBackend backend_;
};

TEST_F(ParamsTest, TablesHaveTheirRecordsAndLoadValues) {
  auto numeric = ZarnParamTable();
  ASSERT_EQ(numeric.size(), kParamRecords + 1);
  EXPECT_EQ(numeric[kParamRecords].id, kEndOfTable);
  std::set<uint32_t> ids;
  for (size_t i = 0; i < kParamRecords; ++i) {
    EXPECT_TRUE(ids.insert(numeric[i].id).second) << numeric[i].id;
    const int expected = numeric[i].id == 2 ? 1 : numeric[i].id == 115 ? -1 : numeric[i].id == 164 ? 1 : 0;
    EXPECT_EQ(numeric[i].value, expected) << numeric[i].id;
  }
  EXPECT_EQ(numeric.front().id, 61u);
  EXPECT_EQ(numeric[kParamRecords - 1].id, 200u);
  auto strings = ZarnStringParamTable();
  ASSERT_EQ(strings.size(), kStringParamRecords + 1);
  EXPECT_EQ(strings[kStringParamRecords].id, kEndOfTable);
  EXPECT_STREQ(funcTableGetParamString(135), "zarnscan.ini");
  EXPECT_STREQ(funcTableGetParamString(159), "KR");
  EXPECT_EQ(funcTableGetParamString(999), nullptr);
}

TEST_F(ParamsTest, BeforeAStartEveryCallGivesScannerMissing) {
  for (int id : {1, 6, 23, 166, 999}) {
    EXPECT_EQ(ZARNGetParam(id), kScannerMissing) << id;
    EXPECT_EQ(ZARNSetParam(id, 3), kScannerMissing) << id;
  }
}

struct Conversion {
  const char* name;
  int model;
  int presetId, presetValue;  // set through the table first (internal form); id 0 for none
  int id, value;
  int result;  // ZARNSetParam's result
  int storedId, stored;
  int readBack;  // ZARNGetParam(storedId) afterwards
};

class ConversionTest : public ParamsTest, public ::testing::WithParamInterface<Conversion> {};

TEST_P(ConversionTest, StoresTheInternalFormAndReadsItBack) {
  const Conversion& c = GetParam();
  Start(400, c.model);
  if (c.presetId != 0) funcTableSetParam(c.presetId, c.presetValue);
  EXPECT_EQ(ZARNSetParam(c.id, c.value), c.result);
  EXPECT_EQ(funcTableGetParam(c.storedId), c.stored);
  EXPECT_EQ(ZARNGetParam(c.storedId), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Params, ConversionTest,
    ::testing::Values(
        Conversion{"ThresholdInverted", 200, 0, 0, 11, 5, 0, 11, 10, 5},
        Conversion{"RearThresholdInverted", 200, 0, 0, 12, 3, 0, 12, 12, 3},
        Conversion{"BlackWhiteInverted", 200, 0, 0, 23, 0, 0, 23, 1, 0},
        Conversion{"ResolutionTwoReadsThree", 200, 0, 0, 6, 2, 0, 6, 3, 3},
        Conversion{"ResolutionFour", 200, 0, 0, 6, 4, 0, 6, 4, 4},
        Conversion{"ResolutionOutOfRange", 200, 0, 0, 6, 5, -102, 6, 0, 0},
        Conversion{"ResolutionNegative", 200, 0, 0, 6, -1, -102, 6, 0, 0},
        Conversion{"DoubleFeedAliasOn215IsOff", 215, 0, 0, 50, 2, 0, 7, 0, 0},
        Conversion{"DoubleFeedAliasOn230KeepsTwo", 230, 0, 0, 50, 2, 0, 7, 2, 2},
        Conversion{"DoubleFeedTwoBecomesOneOn200", 200, 0, 0, 7, 2, 0, 7, 1, 1},
        Conversion{"ColourTwoBecomesOneOn220", 220, 0, 0, 119, 2, 0, 119, 1, 1},
        Conversion{"ColourTwoKeptOn440", 440, 0, 0, 126, 2, 0, 126, 2, 2},
        Conversion{"Gray256ForcedOn230", 230, 45, 1, 45, 0, 0, 45, 1, 1},
        Conversion{"SorterForcedOffOn240", 240, 0, 0, 32, 1, 0, 32, 0, 0},
        Conversion{"SorterKeptOn205", 205, 0, 0, 32, 1, 0, 32, 1, 1},
        Conversion{"BatchRefusedOn220", 220, 0, 0, 160, 1, 0, 160, 0, 0},
        Conversion{"BatchOffWhenMode35", 230, 163, 35, 160, 1, 0, 160, 0, 0},
        Conversion{"BatchOnClearsEnableScan", 230, 111, 1, 160, 1, 0, 111, 0, 0},
        Conversion{"MicrStartKeptBelowEnd", 200, 71, 1000, 14, 1500, 0, 14, 1, 1},
        Conversion{"AliasOfFont", 200, 0, 0, 48, 0, 0, 2, 0, 0},
        Conversion{"AliasOfMicrFormat", 200, 0, 0, 57, 3, 0, 107, 3, 3},
        Conversion{"AliasOfDoubleFeedLength", 200, 0, 0, 24, 9, 0, 98, 9, 9},
        Conversion{"UnknownId", 200, 0, 0, 999, 1, -102, 999, -102, -102},
        Conversion{"UnchangedValueReturnsIt", 200, 0, 0, 115, -1, -1, 115, -1, -1}),
    [](const ::testing::TestParamInfo<Conversion>& p) { return std::string(p.param.name); });

TEST_F(ParamsTest, MicrEndIsKeptAboveTheStart) {
  Start(400);
  funcTableSetParam(71, 500);
  EXPECT_EQ(ZARNSetParam(71, 0), 0);  // start 0: end 0 becomes 1000
  EXPECT_EQ(funcTableGetParam(71), 1000);
  funcTableSetParam(14, 5);
  EXPECT_EQ(ZARNSetParam(71, 3), 0);
  EXPECT_EQ(funcTableGetParam(71), 1005);
  EXPECT_EQ(ZARNSetParam(71, 6), 0);
  EXPECT_EQ(funcTableGetParam(71), 6);
}

TEST_F(ParamsTest, Qv630ModeChangesOnlyOnceFrom100) {
  Start(400);
  EXPECT_EQ(ZARNSetParam(163, 120), 100);  // above 100: refused with the current mode
  EXPECT_EQ(Qv630Mode(), 100);
  EXPECT_EQ(ZARNSetParam(163, 65), 0);
  EXPECT_EQ(Qv630Mode(), 65);
  EXPECT_EQ(funcTableGetParam(163), 65);
  EXPECT_EQ(ZARNSetParam(163, 35), 65);
  EXPECT_EQ(Qv630Mode(), 65);
}

TEST_F(ParamsTest, TraceLevelIsSetBeforeTheCallIsLogged) {
  Start(400);
  SetApiTraceLevel(0);
  EXPECT_EQ(ZARNSetParam(165, 3), 0);
  EXPECT_EQ(ApiTraceLevel(), 3);
  EXPECT_EQ(ZARNGetParam(165), 3);
}

TEST_F(ParamsTest, ResolutionStoredOutsideTheMapReadsAsBadParameter) {
  Start(400);
  funcTableSetParam(6, 9);
  EXPECT_EQ(ZARNGetParam(6), kBadParameter);
}

TEST_F(ParamsTest, StatusCheckParameterOnlyOnTheQv600Line) {
  for (int family : {200, 30}) {
    Start(family);
    EXPECT_EQ(ZARNGetParam(169), 3) << family;
  }
  Start(300);
  EXPECT_EQ(ZARNGetParam(169), kBadParameter);
  EXPECT_EQ(backend_.Count("statuscheck"), 2);
}

TEST_F(ParamsTest, DisableParameterRunsTheBackEndAndStoresNothing) {
  Start(200);
  EXPECT_EQ(ZARNSetParam(178, 1), 7);
  EXPECT_EQ(funcTableGetParam(178), 0);
}

struct MethodSwitch {
  const char* name;
  int family, model;
  const char* methodBefore;
  int font;
  const char* methodAfter;
  int restarts;
};

class MethodSwitchTest : public ParamsTest, public ::testing::WithParamInterface<MethodSwitch> {};

TEST_P(MethodSwitchTest, FollowsTheFont) {
  const MethodSwitch& c = GetParam();
  Start(c.family, c.model);
  std::strcpy(funcTableGetParamString(159), c.methodBefore);
  if (c.font == 1) funcTableSetParam(2, 0);  // so the change is not a no-op
  ZARNSetParam(2, c.font);
  EXPECT_STREQ(funcTableGetParamString(159), c.methodAfter);
  EXPECT_EQ(backend_.Count("restart"), c.restarts);
  EXPECT_EQ(funcTableGetParam(2), c.font);
}

INSTANTIATE_TEST_SUITE_P(
    Params, MethodSwitchTest,
    ::testing::Values(MethodSwitch{"CmcOnQv600SwitchesToKwl", 200, 230, "KR", 0, "KWL", 1},
                      MethodSwitch{"CmcOnRm70SwitchesToKwl", 30, 30, "KR", 0, "KWL", 1},
                      MethodSwitch{"CmcOnQv800SwitchesWithoutRestart", 400, 200, "KR", 0, "KWL", 0},
                      MethodSwitch{"E13bOn230BackToKr", 200, 230, "KWL", 1, "KR", 1},
                      MethodSwitch{"E13bOn200StaysKwl", 200, 200, "KWL", 1, "KWL", 0},
                      MethodSwitch{"E13bWithKrUnchanged", 200, 230, "KR", 1, "KR", 0}),
    [](const ::testing::TestParamInfo<MethodSwitch>& p) { return std::string(p.param.name); });

TEST_F(ParamsTest, Qv800ChangesGoToTheDeviceFileAndMarkAReload) {
  Start(400);
  EXPECT_EQ(ZARNSetParam(110, 80), 0);
  EXPECT_TRUE(Api().reloadPending.load());
  EXPECT_NE(dir_.Read("QV8CFG.TMP").find("[MISCELLANEOUS]\r\nJPEG Quality=80\r\n"), std::string::npos);
}

TEST_F(ParamsTest, UnchangedValueLeavesTheDeviceFileAndReloadFlagAlone) {
  Start(400);
  ZARNSetParam(110, 80);
  Api().reloadPending = false;
  const std::string before = dir_.Read("QV8CFG.TMP");
  EXPECT_EQ(ZARNSetParam(110, 80), 80);
  EXPECT_EQ(ZARNSetParam(11, ZARNGetParam(11)), 15);
  EXPECT_EQ(dir_.Read("QV8CFG.TMP"), before);
  EXPECT_FALSE(Api().reloadPending.load());
}

TEST_F(ParamsTest, Qv600FlaggedChangesRewriteTheDriverFileWhileWriteThroughIsOn) {
  Start(200);
  ZARNSetParam(1, 0);  // flagged, write-through off
  EXPECT_EQ(backend_.Count("rewrite"), 0);
  SetDriverWriteThrough(true);
  backend_.rewriteResult = -233;
  EXPECT_EQ(ZARNSetParam(1, 1), -233);
  EXPECT_EQ(ZARNSetParam(110, 50), 0);  // not flagged
  EXPECT_EQ(backend_.Count("rewrite"), 1);
  EXPECT_EQ(ZARNSetParam(193, 150), 0);
  EXPECT_EQ(backend_.calls.back(), "micrconfig 193 150");
  EXPECT_FALSE(dir_.Exists("QV8CFG.TMP"));
}

TEST_F(ParamsTest, StringValuesAreCutTo255AndShadowed) {
  Start(400);
  const std::string longName(300, 'n');
  EXPECT_EQ(funcTableSetParamString(35, longName.c_str()), 0);
  EXPECT_EQ(std::string(funcTableGetParamString(35)), longName.substr(0, 255));
  EXPECT_EQ(std::string(PrintFileName()), longName.substr(0, 255));
  EXPECT_FALSE(Api().reloadPending.load());  // bitmap names do not ask for a reload
  funcTableSetParamString(113, "font12");
  EXPECT_STREQ(FontFileName(), "font12");
  EXPECT_TRUE(Api().reloadPending.load());
  EXPECT_EQ(funcTableSetParamString(999, "x"), kBadParameter);
}

TEST_F(ParamsTest, Type314ReadsThe12DotStrings) {
  funcTableSetParamString(112, "bmp12");
  funcTableSetParamString(35, "bmp");
  SetScannerTypeCode(314);
  EXPECT_STREQ(funcTableGetParamString(35), "bmp12");
  SetScannerTypeCode(-1);
  EXPECT_STREQ(funcTableGetParamString(35), "bmp");
}

}  // namespace
}  // namespace zarn
