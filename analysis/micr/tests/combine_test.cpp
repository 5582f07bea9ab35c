// The combination of a magnetic line with the optical reading: repairs, flags, the status they map to,
// the counters and the hand-over to the "KR" verification.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "analysis/micr/combine.h"
#include "analysis/micr/tests/verify_fake.h"
#include "analysis/micr/verify_state.h"

namespace analysis::micr {
namespace {

using ::analysis::testing::VerifyServices;

struct Combined {
  int rc = 0;
  std::string result;
  uint32_t flags = 0;
  int status = 0;
  std::string optical;
};

// Runs one combination on copies of the lines, in buffers sized as the callers size them.
Combined Combine(std::string mag, std::string opt, std::string conf, int maxErrors) {
  char m[128] = {}, o[128] = {}, c[128] = {}, r[131];
  std::memset(r, 'X', sizeof r);
  std::strncpy(m, mag.c_str(), sizeof m - 1);
  std::strncpy(o, opt.c_str(), sizeof o - 1);
  std::strncpy(c, conf.c_str(), sizeof c - 1);
  Combined out;
  out.rc = funcCombineMICR(m, o, c, r, maxErrors);
  if (std::memchr(r, '\0', mag.size() + 3) != nullptr) out.result = r;
  out.flags = MICRVerifyFlags;
  out.status = funcGetMICRVerifyStatus();
  out.optical = o;
  return out;
}

std::string Conf(const std::string& line, char digit) {
  return std::string(line.size(), digit);
}

class Combination : public ::testing::Test {
 protected:
  void SetUp() override { ResetMicrVerifyStateForTesting(); }
  VerifyServices services;
  ScopedServices scope{services};
};

struct CombineCase {
  const char* name;
  const char* magnetic;
  const char* optical;
  char confidence;
  int32_t lowConfidence;  // parameter 157
  const char* result;
  uint32_t flags;
  int status;
};

class CombinationCases : public Combination, public ::testing::WithParamInterface<CombineCase> {};

TEST_P(CombinationCases, MergesAsTheRulesSay) {
  const CombineCase& c = GetParam();
  services.params[157] = c.lowConfidence;
  const Combined got = Combine(c.magnetic, c.optical, Conf(c.optical, c.confidence), 4);
  EXPECT_EQ(got.rc, 0);
  EXPECT_EQ(got.result, c.result);
  EXPECT_EQ(got.flags, c.flags);
  EXPECT_EQ(got.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CombinationCases,
    ::testing::Values(
        CombineCase{"SameLineOtherBlanks", ":123456789: 1234567< 0042", ":123456789:1234567 < 00 42", '4', 0,
                    ":123456789: 1234567< 0042", 0x100, 3},
        CombineCase{"LeadingRejectAndBlankDropped", "@ :123456789: 1234567<", ":123456789: 1234567<", '4', 0,
                    ":123456789: 1234567<", 0x4, 2},
        CombineCase{"TwoReadAsFiveCorrectedAtThree", ":123456789: 1274567<", ":123456789: 1574567<", '3', 0,
                    ":123456789: 1574567<", 0x8, 2},
        CombineCase{"TwoReadAsFiveKeptAtTwo", ":123456789: 1274567<", ":123456789: 1574567<", '2', 0,
                    ":123456789: 1274567<", 0x0, 2},
        CombineCase{"SingleDifferenceKept", ":123456789: 1234567<", ":123456789: 1284567<", '4', 0,
                    ":123456789: 1234567<", 0x10, 1},
        CombineCase{"SingleDifferenceRejectedWithLowConfidence", ":123456789: 1234567<", ":123456789: 1284567<",
                    '4', 1, ":123456789: 12@4567<", 0x10, 1},
        CombineCase{"RejectFilledFromOptical", ":123456789: 12@4567<", ":123456789: 1234567<", '2', 0,
                    ":123456789: 1234567<", 0x4, 2},
        CombineCase{"RejectKeptAtLowConfidence", ":123456789: 12@4567<", ":123456789: 1234567<", '1', 0,
                    ":123456789: 12@4567<", 0x1, 0},
        CombineCase{"TransitTakenFromOptical", "123456789: 1234567<", ":123456789: 1234567<", '4', 0,
                    ":123456789: 1234567<", 0x2, 2},
        CombineCase{"UnrelatedLinesLeaveTheMagneticLine", ":123456789: 12@4567<", "98765 43210 98", '4', 0,
                    ":123456789: 12@4567<", 0x1, 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Combination, TooManyRejectsCountAsFiveAtMost) {
  services.params[117] = 2;
  const std::string mag = ":12@@56@@9: @2@4567<";
  const Combined got = Combine(mag, ":123456789: 1234567<", Conf(":123456789: 1234567<", '4'), 9);
  EXPECT_EQ(got.result, mag);
  EXPECT_EQ(got.flags, 0x1u);
  EXPECT_EQ(MICRVerifyCounters.NotVerified, 1);
  EXPECT_TRUE(services.LocalLogHas("Too Many Mag Errors - MICR VerEvent"));
}

TEST_F(Combination, BadArgumentsLeaveTheResultAlone) {
  char mag[] = ":1234:", opt[] = ":1234:", conf[] = "4444", result[16] = "untouched";
  MICRVerifyFlags = 0x100;
  EXPECT_EQ(funcCombineMICR(mag, opt, conf, result, 4), 1);
  EXPECT_STREQ(result, "untouched");
  EXPECT_EQ(MICRVerifyFlags, 0u);
  EXPECT_EQ(funcCombineMICR(nullptr, opt, conf, result, 4), 1);
  EXPECT_EQ(funcCombineMICR(mag, opt, nullptr, result, 4), 1);
}

TEST_F(Combination, OpticalLineIsTrimmedInPlace) {
  const Combined got = Combine(":123456789: 1234567<", ":123456789: 1234567<   ", "44444444444444444444444", 4);
  EXPECT_EQ(got.optical, ":123456789: 1234567<");
}

TEST_F(Combination, MethodKrHandsOverOnlyWithoutNegativeMaxErrors) {
  services.strings[159] = "KR";
  const std::string line = ":123456789: 1234567<";
  Combine(line, line, Conf(line, '4'), -4);
  EXPECT_EQ(services.krReads, 0);
  EXPECT_EQ(services.assembled, 0);
  EXPECT_EQ(MICRVerifyFlags, 0x100u);
  Combine(line, line, Conf(line, '4'), 4);
  EXPECT_EQ(services.krReads, 1);
  EXPECT_EQ(services.assembled, 1);
  services.strings[159] = "KWL";
  Combine(line, line, Conf(line, '4'), 4);
  EXPECT_EQ(services.krReads, 1);
}

TEST_F(Combination, CountersAndFlagsAreHandedOut) {
  Combine(":123456789: 12@4567<", ":123456789: 1234567<", Conf(":123456789: 1234567<", '3'), 4);
  Combine(":123456789: 1274567<", ":123456789: 1574567<", Conf(":123456789: 1574567<", '3'), 4);
  int32_t v[7] = {-1, -1, -1, -1, -1, -1, -1};
  EXPECT_EQ(funcGetMICRCounters(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]), 0);
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[1], 0);
  EXPECT_EQ(v[2], 2);  // both documents repaired
  EXPECT_EQ(v[3], 1);  // one substitution
  EXPECT_EQ(v[4], 1);  // one gap
  EXPECT_EQ(v[5], 0);
  EXPECT_EQ(v[6], 0x8);
}

struct StatusCase {
  const char* name;
  uint32_t flags;
  int status;
};
class StatusMap : public ::testing::TestWithParam<StatusCase> {};
TEST_P(StatusMap, FirstFittingRule) {
  MICRVerifyFlags = GetParam().flags;
  EXPECT_EQ(funcGetMICRVerifyStatus(), GetParam().status);
}
INSTANTIATE_TEST_SUITE_P(Flags, StatusMap,
                         ::testing::Values(StatusCase{"NotVerified", 0x1, 0}, StatusCase{"NotVerifiedWithDifference", 0x11, 0},
                                           StatusCase{"SingleDifference", 0x10, 1},
                                           StatusCase{"DifferenceAndRepair", 0x14, 1},
                                           StatusCase{"Transit", 0x2, 2}, StatusCase{"Gap", 0x4, 2},
                                           StatusCase{"Correction", 0x8, 2}, StatusCase{"Nothing", 0x0, 2},
                                           StatusCase{"Same", 0x100, 3}, StatusCase{"SameAndGap", 0x104, 2},
                                           StatusCase{"OpticalShortAlone", 0x20, 0},
                                           StatusCase{"SameOpticalShort", 0x120, 3}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace analysis::micr
