// The "KR" verification of the magnetic readings against the optical one, and the choice between two
// scans of one document.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/micr/combine.h"
#include "analysis/micr/tests/verify_fake.h"
#include "analysis/micr/verify_state.h"

namespace analysis::micr {
namespace {

using ::analysis::testing::VerifyServices;

constexpr const char* kTruth = ":123456789: 1234567<";

// One consistent layout of a printed line: the optical reader's right edges 25 pixels apart, and the
// magnetic sample positions of the same characters at 8 samples per pixel, counted down from the first.
struct Layout {
  std::array<int32_t, 128> edges{};
  std::array<uint32_t, 100> positions{};
  explicit Layout(const std::string& line, int32_t firstEdge = 40) {
    for (size_t i = 0; i < line.size(); ++i) {
      edges[i] = firstEdge + 25 * static_cast<int32_t>(i);
      positions[i] = 100000u - 8u * 25u * static_cast<uint32_t>(i);
    }
  }
};

struct Verified {
  std::string result, magnetic;
  uint32_t flags = 0;
};

class Verification : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMicrVerifyStateForTesting();
    services.strings[159] = "KR";
    services.params[117] = 2;
  }
  // Both tries read `first` / `second` with the given confidences; no waveform line unless set.
  void Tries(const std::string& first, const std::string& conf1, const std::string& second,
             const std::string& conf2) {
    services.kr.firstLine = first;
    services.kr.firstConfidence = conf1;
    services.kr.secondLine = second;
    services.kr.secondConfidence = conf2;
  }
  Verified Run(const std::string& optical, char opticalConfidence, const Layout& layout, int maxErrors = 4) {
    return Run(optical, std::string(optical.size(), opticalConfidence), layout, maxErrors);
  }
  Verified Run(const std::string& optical, const std::string& opticalConfidence, const Layout& layout,
               int maxErrors = 4) {
    char mag[100] = {}, opt[100] = {}, conf[100] = {}, result[100];
    std::memset(result, 'X', sizeof result);
    std::strncpy(mag, services.kr.firstLine.c_str(), sizeof mag - 1);
    std::strncpy(opt, optical.c_str(), sizeof opt - 1);
    std::strncpy(conf, opticalConfidence.c_str(), sizeof conf - 1);
    CodeLineBuffers b{mag, sizeof mag, opt, conf, result, sizeof result};
    EXPECT_EQ(VerifyMicrWithOcr(b, maxErrors, layout.edges), 0);
    EXPECT_NE(std::memchr(result, '\0', sizeof result), nullptr);
    EXPECT_EQ(services.assembled, 1);
    services.assembled = 0;
    return {result, mag, MICRVerifyFlags};
  }
  VerifyServices services;
  ScopedServices scope{services};
};

std::string Nines(const std::string& line) {
  return std::string(line.size(), '9');
}

std::string WithAt(std::string s, size_t i, char c) {
  s[i] = c;
  return s;
}

TEST_F(Verification, KwlLineOverridesWhenItMatchesTheOpticalLine) {
  const std::string tries = ":12@456@89: 12@4567<";
  const std::string conf = WithAt(WithAt(WithAt(Nines(tries), 3, '0'), 7, '0'), 14, '0');
  Tries(tries, conf, tries, conf);
  services.kr.kwlLine = kTruth;
  const Verified v = Run(":123456789:1234567 <", '4', Layout(kTruth));
  EXPECT_EQ(v.result, kTruth);
  EXPECT_TRUE(services.LocalLogHas("KWL/OCR Match Override"));
}

TEST_F(Verification, IdenticalReadingsAreVerifiedSame) {
  Tries(kTruth, Nines(kTruth), kTruth, Nines(kTruth));
  const Verified v = Run(kTruth, '4', Layout(kTruth));
  EXPECT_EQ(v.result, kTruth);
  EXPECT_EQ(v.flags, 0x100u);
  EXPECT_EQ(funcGetMICRVerifyStatus(), 3);
}

// Lines that agree everywhere the magnetic tries read are not the same when the optical reader saw a
// character the tries lack.
struct NotSameCase {
  const char* name;
  const char* tries;
  const char* kwl;
  const char* optical;
  const char* opticalConfidence;
};
class NotVerifiedSame : public Verification, public ::testing::WithParamInterface<NotSameCase> {};

TEST_P(NotVerifiedSame, WhenTheOpticalLineHoldsMore) {
  const NotSameCase& c = GetParam();
  Tries(c.tries, Nines(c.tries), c.tries, Nines(c.tries));
  services.kr.kwlLine = c.kwl;
  const Verified v = Run(c.optical, c.opticalConfidence, Layout(c.optical));
  EXPECT_EQ(v.flags & 0x100u, 0u) << v.result;
  EXPECT_NE(funcGetMICRVerifyStatus(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NotVerifiedSame,
    ::testing::Values(NotSameCase{"LastCharacterReadAtTwo", ":123456789: 1234567< 004", "",
                                  ":123456789: 1234567< 0042", "4444444444444444444444442"},
                      NotSameCase{"BlankOfTheKwlLineAgainstAVoidedCharacter", ":997474514 3513601< 3911",
                                  ":997474514: 3513601<", ":997474514: 3 13601< 3911", "4444444444444444444444444"},
                      // The tries lost the '1' the waveform line holds; the print lost a '3' further on.
                      NotSameCase{"TriesShortOfTheKwlLineBesideAVoidedCharacter", ":444622533: 037398< 8417",
                                  ":444622533: 1037398< 8417", ":444622533: 1037 98< 8417",
                                  "4444444444444444444444444"}),
    [](const auto& p) { return std::string(p.param.name); });

// Where both tries doubt a character, the waveform line in step with them vouches for the optical one.
TEST_F(Verification, KwlLineInStepVouchesForADoubtfulCharacter) {
  const std::string tries = WithAt(kTruth, 14, '9');
  Tries(tries, WithAt(Nines(tries), 14, '3'), tries, WithAt(Nines(tries), 14, '3'));
  services.kr.kwlLine = kTruth;
  const Verified v = Run(kTruth, '4', Layout(kTruth));
  EXPECT_EQ(v.result, kTruth);
  EXPECT_EQ(v.flags, 0x100u);
}

TEST_F(Verification, TrailingOpticalNoiseStillVerifiesSame) {
  Tries(kTruth, Nines(kTruth), kTruth, Nines(kTruth));
  const Verified v = Run(std::string(kTruth) + " 1", std::string(std::strlen(kTruth), '4') + "41", Layout(kTruth));
  EXPECT_EQ(v.flags, 0x100u);
}

TEST_F(Verification, MaxErrorsZeroAllowsFive) {
  std::string tries = kTruth, conf = Nines(kTruth);
  for (size_t i : {1, 2, 3, 4, 5}) conf[i] = '0';
  Tries(tries, conf, tries, conf);
  services.kr.kwlLine = "@@@";
  Run(kTruth, '0', Layout(kTruth), 0);
  EXPECT_FALSE(services.LocalLogHas("Too Many Mag Errors"));
  conf[6] = '0';
  Tries(tries, conf, tries, conf);
  const Verified v = Run(kTruth, '0', Layout(kTruth), 0);
  EXPECT_TRUE(services.LocalLogHas("Too Many Mag Errors"));
  EXPECT_EQ(v.flags, 0x1u);
  EXPECT_EQ(v.result, ":@@@@@@789: 1234567<");
}

TEST_F(Verification, EqualConfidencesTakeTheSecondTry) {
  Tries(WithAt(kTruth, 3, '3'), WithAt(Nines(kTruth), 3, '6'), WithAt(kTruth, 3, '8'), WithAt(Nines(kTruth), 3, '6'));
  const Verified v = Run(kTruth, '4', Layout(kTruth));
  EXPECT_EQ(v.magnetic[3], '8');
}

// The magnetic reader lost the end of the line; the optical positions line up with nothing.
class MagneticOnly : public Verification, public ::testing::WithParamInterface<int32_t> {};

TEST_P(MagneticOnly, PadsAPossibleDropOutUnlessSwitchedOff) {
  services.params[187] = GetParam();
  const std::string lost = ":123456789: 1234";
  Tries(lost, Nines(lost), lost, Nines(lost));
  services.kr.kwlLine = "";
  Layout layout(kTruth);
  layout.edges.fill(0);
  const Verified v = Run(kTruth, '4', layout);
  if (GetParam() == 0) {
    EXPECT_EQ(v.result, ":123456789: 1234@@@");
    EXPECT_TRUE(services.LocalLogHas("Possible Magnetic MICR Drop Out"));
    EXPECT_EQ(v.flags & 0x1u, 0x1u);
  } else {
    EXPECT_EQ(v.result, lost);
    EXPECT_FALSE(services.LocalLogHas("Possible Magnetic MICR Drop Out"));
  }
  EXPECT_TRUE(services.LocalLogHas("OCR NOT AVAILABLE -- Compare MICR ONLY"));
}
INSTANTIATE_TEST_SUITE_P(Parameter187, MagneticOnly, ::testing::Values(0, 1),
                         [](const auto& p) { return p.param == 0 ? std::string("TestOn") : std::string("TestOff"); });

// A reject of both tries is repaired from the optical character found at its place along the line.
class MergeByModel : public Verification, public ::testing::WithParamInterface<int32_t> {};

TEST_P(MergeByModel, RepairsAMagneticReject) {
  services.model = GetParam();
  const std::string tries = WithAt(kTruth, 14, '@');
  const std::string conf = WithAt(Nines(kTruth), 14, '0');
  Tries(tries, conf, tries, conf);
  const Layout layout(kTruth);
  services.kr.positions = layout.positions;
  const Verified v = Run(kTruth, '4', layout);
  EXPECT_EQ(v.result, kTruth);
  EXPECT_EQ(v.flags, 0x4u);
  EXPECT_EQ(funcGetMICRVerifyStatus(), 2);
  EXPECT_EQ(MICRVerifyCounters.NotVerified, 0);
  EXPECT_EQ(MICRVerifyCounters.RepairedDocuments, 1);
  // The positions are handed back in pixels along the line.
  EXPECT_EQ(services.kr.positions[1] - services.kr.positions[0], 25u);
}
INSTANTIATE_TEST_SUITE_P(Models, MergeByModel, ::testing::Values(200, 440),
                         [](const auto& p) { return p.param == 440 ? std::string("CharacterMerge440") : std::string("PositionMerge200"); });

TEST_F(Verification, OffsetIsFoundWhereverTheImageStarts) {
  const std::string tries = WithAt(kTruth, 5, '@');
  const std::string conf = WithAt(Nines(kTruth), 5, '0');
  Tries(tries, conf, tries, conf);
  const Layout layout(kTruth, 917);
  services.kr.positions = layout.positions;
  const Verified v = Run(kTruth, '4', layout);
  EXPECT_EQ(v.result, kTruth);
  EXPECT_EQ(static_cast<int32_t>(services.kr.positions[0]), 917);
}

TEST_F(Verification, OpticalPositionsBeyondTheReadersTableAreUnmatched) {
  std::string tries = std::string(100, '1');
  const std::string conf = std::string(99, '9');
  tries.resize(99);
  Tries(tries, conf, tries, conf);
  std::string optical(127, '1');
  optical += "23";  // characters 127 and 128
  char mag[100] = {}, opt[160] = {}, oconf[160] = {}, result[102];
  std::strncpy(mag, tries.c_str(), sizeof mag - 1);
  std::strncpy(opt, optical.c_str(), sizeof opt - 1);
  std::memset(oconf, '4', optical.size());
  std::array<int32_t, 128> edges{};
  CodeLineBuffers b{mag, sizeof mag, opt, oconf, result, sizeof result};
  EXPECT_EQ(VerifyMicrWithOcr(b, 4, edges), 0);
  EXPECT_LT(std::strlen(result), sizeof result);
}

struct ChooseCase {
  const char* name;
  const char* first;
  const char* second;
  int rc;
  const char* result;
};
class ChoosePass : public ::testing::TestWithParam<ChooseCase> {};

TEST_P(ChoosePass, PicksOrMerges) {
  VerifyServices services;
  ScopedServices scope(services);
  const ChooseCase& c = GetParam();
  char result[80];
  std::memset(result, 'X', sizeof result);
  EXPECT_EQ(funcChooseMICRPass(c.first, c.second, result), c.rc);
  EXPECT_STREQ(result, c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ChoosePass,
    ::testing::Values(
        ChooseCase{"CleanFirstDefault", ":123456789: 1234567< ;0000012345;", ":123456789: 12@4567<", 0,
                   ":123456789: 1234567< ;0000012345;"},
        ChooseCase{"CleanSecondDefault", ":123456789: 12@4567<", ":123456789: 1234567<", 1, ":123456789: 1234567<"},
        ChooseCase{"FarLongerSecond", ":12@45", ":123456789: 1234@67<", 1, ":123456789: 1234@67<"},
        ChooseCase{"MergeFillsRejectsFromBoth", ":123456789: 12@4567<", ":12345@789: 1234567<", 2,
                   ":123456789: 1234567<"},
        ChooseCase{"FourRejectsInSecond", ":123456789: 12@4567<", ":12@@5@789: 12@4567<", 0, ":123456789: 12@4567<"},
        ChooseCase{"LongerSecondWithoutAmountKeepsFirstWithAmount", ":123456789: ;0000012345;",
                   ":123456789: 1234567< 0012345", 2, ":123456789: ;0000012345;"},
        ChooseCase{"LongerSecondWithoutAmountTakenOtherwise", ":123456789: 00000",
                   ":123456789: 1234567< 0012345", 1, ":123456789: 1234567< 0012345"},
        ChooseCase{"SecondAmountReplacesFirstTail", ":123456789: 1234567< ;00@", ":123456789: 1234567@ ;0000012345;",
                   2, ":123456789: 1234567< ;0000012345;"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ChoosePassLimits, LongLinesStayWithinEightyBytes) {
  VerifyServices services;
  ScopedServices scope(services);
  const std::string first(200, '1');
  std::string second = first;
  second[3] = '@';
  char result[81];
  result[80] = 'Z';
  funcChooseMICRPass(first.c_str(), second.c_str(), result);
  EXPECT_EQ(std::strlen(result), 79u);
  EXPECT_EQ(result[80], 'Z');
}

}  // namespace
}  // namespace analysis::micr
