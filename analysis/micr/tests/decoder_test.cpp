// The decoder's pipeline end to end on synthetic lines, its classification of scanners, the line rules
// and the handling of hostile sample counts.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/micr/line_rules.h"
#include "analysis/micr/tests/decode_fixture.h"
#include "platform/paths.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/scratch_dir.h"
#include "analysis/micr/debug_aids.h"

namespace analysis::micr {
namespace {

using ::analysis::testing::FakeServices;
using testing::Decoded;

struct ClassCase {
  const char* name;
  int32_t infoResult;
  const char* product;
  const char* serial;
  int modelClass, rateClass;
  int serialCalls;
};

class Classification : public ::testing::TestWithParam<ClassCase> {};

TEST_P(Classification, FollowsTheProductString) {
  const ClassCase& c = GetParam();
  FakeServices services;
  services.infoResult = c.infoResult;
  services.product = c.product;
  services.serial = c.serial;
  ScopedServices scope(services);
  auto decoder = OpenMagneticDecoder();
  EXPECT_FALSE(decoder->classified());
  std::vector<uint16_t> samples(2000, 32768);
  char line[100], conf[100];
  decoder->Decode(samples.data(), 4000, line, conf);
  decoder->Decode(samples.data(), 4000, line, conf);  // classified once per context
  ASSERT_TRUE(decoder->classified());
  EXPECT_EQ(decoder->classes().modelClass, c.modelClass);
  EXPECT_EQ(decoder->classes().rateClass, c.rateClass);
  EXPECT_EQ(services.infoCalls, 1);
  EXPECT_EQ(services.serialCalls, c.serialCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Products, Classification,
    ::testing::Values(ClassCase{"QV600", 200, "QV600", "", 2, 2, 0}, ClassCase{"QV605", 200, "QV605", "", 2, 4, 0},
                      ClassCase{"QV60OtherModel", 200, "QV601", "", 2, 3, 0},
                      ClassCase{"QV620FastSerial", 200, "QV620", "ABCDE2", 3, 5, 1},
                      ClassCase{"QV620OtherSerial", 200, "QV620", "ABCDE1", 3, 3, 1},
                      ClassCase{"QV620ShortSerial", 200, "QV620", "ABC", 3, 3, 1},
                      ClassCase{"QV630", 200, "QV630", "", 3, 6, 1}, ClassCase{"QV640", 200, "QV640", "", 3, 9, 1},
                      ClassCase{"QV840", 200, "QV840", "", 3, 7, 1}, ClassCase{"RM70", 200, "VEK RM 70", "", 8, 8, 0},
                      ClassCase{"RM7Other", 200, "RM 75", "", 8, 3, 0},
                      ClassCase{"RMCutShort", 200, "RM 7", "", 8, 3, 0},
                      ClassCase{"SixWithoutRowKeepsScanning", 200, "Q6X84", "", 3, 7, 1},
                      ClassCase{"SixAtTheEnd", 200, "QV6", "", 3, 3, 0},
                      ClassCase{"FamilyValueClassifies", 30, "QV630", "", 3, 6, 1},
                      ClassCase{"NoScanner", -125, "QV600", "", 3, 3, 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Decoder, ResultsBeforeAnyDecodeAreEmpty) {
  auto decoder = OpenMagneticDecoder();
  char l1[100], c1[100], l2[100], c2[100];
  uint8_t table[400];
  std::memset(l1, 'x', 100), std::memset(c1, 'x', 100), std::memset(l2, 'x', 100), std::memset(c2, 'x', 100);
  std::memset(table, 0xAA, 400);
  EXPECT_EQ(funcGetMagneticMICRResults(*decoder, l1, c1, table, l2, c2), 0);
  EXPECT_STREQ(l1, "");
  EXPECT_STREQ(c1, "");
  EXPECT_STREQ(l2, "");
  EXPECT_STREQ(c2, "");
  for (int i = 0; i < 100; ++i) EXPECT_EQ(TableEntry(table, i), 0u);
}

// Reads one line through a fresh context of the QV63x series, at the decoder's own density.
Decoded ReadLine(const micrkit::MagneticTrace& trace) {
  FakeServices services;
  ScopedServices scope(services);
  auto decoder = OpenMagneticDecoder();
  return testing::DecodeSamples(*decoder, testing::IdealSamples(trace));
}

TEST(Decoder, CleanLineReadsExactlyWithTableAtTheOffsets) {
  const std::string truth = ":123456789: 0123456<";
  const Decoded d = ReadLine(micrkit::E13bTrace(truth, testing::DecoderLayout()));
  EXPECT_EQ(d.line, truth);
  EXPECT_EQ(d.length, static_cast<int>(truth.size()));
  EXPECT_EQ(d.Peaks(), truth);
  EXPECT_EQ(d.conf, d.PeaksConf());
  // Offsets fall along the line (the signal runs from its right end) and the blank sits 200 past the
  // character after it.
  for (std::size_t i = 1; i < truth.size(); ++i) {
    if (truth[i] == ' ') {
      EXPECT_EQ(d.kept.table[i], d.kept.table[i + 1] + 200);
      EXPECT_EQ(d.PeaksConf()[i], '9');
      EXPECT_EQ(d.SignalConf()[i], '9');
    } else if (truth[i - 1] != ' ') {
      EXPECT_LT(d.kept.table[i], d.kept.table[i - 1]);
    }
  }
  for (std::size_t i = truth.size(); i < 100; ++i) EXPECT_EQ(d.kept.table[i], 0u);
}

// Four copies of one glyph, the middle two `distance` samples apart. (The first character written and
// the last one never take a gap test.)
micrkit::MagneticTrace Spaced(char symbol, double distance) {
  const micrkit::MagneticTrace one = micrkit::E13bTrace(std::string(1, symbol), testing::DecoderLayout());
  std::vector<micrkit::Lobe> lobes;
  const double at[] = {0, 200, 200 + distance, 400 + distance};
  for (int k = 0; k < 4; ++k) {
    for (const micrkit::Lobe& l : one.lobes()) lobes.push_back({l.time + at[k], l.height, k});
  }
  return micrkit::MagneticTrace(std::move(lobes), one.sigma(), one.duration() + at[3]);
}

struct GapCase {
  const char* name;
  int distance;
  const char* line;
};
class GapBlank : public ::testing::TestWithParam<GapCase> {};
TEST_P(GapBlank, AppearsBeyond350Samples) {
  const Decoded d = ReadLine(Spaced('0', GetParam().distance));
  EXPECT_EQ(d.line, GetParam().line);
  if (d.line == "00 00") {
    EXPECT_EQ(d.conf, "99999");
    EXPECT_EQ(d.SignalConf()[2], '9');
    EXPECT_EQ(d.kept.table[2], d.kept.table[3] + 200);
    EXPECT_EQ(d.kept.table[1] - d.kept.table[3], 351u);
  }
}
INSTANTIATE_TEST_SUITE_P(Distances, GapBlank,
                         ::testing::Values(GapCase{"Adjacent", 200, "0000"}, GapCase{"At350", 350, "0000"},
                                           GapCase{"At351", 351, "00 00"}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Decoder, EightyCharactersAndAGapEndWithTheBlank) {
  std::string truth(80, '0');
  for (std::size_t i = 0; i < truth.size(); ++i) truth[i] = static_cast<char>('0' + i % 10);
  const Decoded d = ReadLine(micrkit::E13bTrace(truth + " 12", testing::DecoderLayout()));
  EXPECT_EQ(d.line, truth + " ");
  EXPECT_EQ(d.length, 81);
}

TEST(Decoder, NarrowPulsesReadNothing) {
  std::vector<micrkit::Lobe> lobes;
  for (int k = 0; k < 20; ++k) {
    lobes.push_back({600.0 + 300 * k, 1.0, k});
    lobes.push_back({612.0 + 300 * k, -1.0, k});
  }
  const Decoded d = ReadLine(micrkit::MagneticTrace(std::move(lobes), 4, 7000));
  EXPECT_EQ(d.length, 0);
  EXPECT_EQ(d.line, "");
}

struct ChoiceCase {
  const char* name;
  std::array<int, 14> scores;
  char symbol;
  char digit;
};
class SignalChoiceRule : public ::testing::TestWithParam<ChoiceCase> {};
TEST_P(SignalChoiceRule, Holds) {
  const SignalChoice c = ChooseSignal(GetParam().scores);
  EXPECT_EQ(c.symbol, GetParam().symbol);
  EXPECT_EQ(c.Digit(), GetParam().digit);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, SignalChoiceRule,
    ::testing::Values(ChoiceCase{"BestBelow50Rejects", {49, 10}, '@', '0'},
                      ChoiceCase{"CloseRunnerUpHalves", {0, 0, 0, 0, 95, 0, 0, 0, 0, 0, 0, 0, 0, 85}, '4', '4'},
                      ChoiceCase{"ClearWinnerKeepsScore", {0, 0, 95, 0, 0, 79}, '2', '9'},
                      ChoiceCase{"FullScoreIsNine", {100, 0}, '0', '9'},
                      ChoiceCase{"EarlierSymbolKeepsATie", {0, 0, 80, 0, 0, 80}, '2', '4'}),
    [](const auto& p) { return std::string(p.param.name); });

struct MergeCase {
  const char* name;
  char pc, pd, sc, sd, merged;
};
class MergeRule : public ::testing::TestWithParam<MergeCase> {};
TEST_P(MergeRule, Holds) {
  const MergeCase& c = GetParam();
  EXPECT_EQ(MergeCharacter(c.pc, c.pd, c.sc, c.sd), c.merged);
}
INSTANTIATE_TEST_SUITE_P(Cases, MergeRule,
                         ::testing::Values(MergeCase{"SignalAtLeastAsSure", '2', '7', '5', '7', '5'},
                                           MergeCase{"SignalTooUnsure", '2', '3', '5', '3', '@'},
                                           MergeCase{"PeaksSurer", '2', '8', '5', '6', '2'},
                                           MergeCase{"PeaksSurerButWeak", '2', '4', '5', '1', '@'},
                                           MergeCase{"BlankKept", ' ', '9', ' ', '9', ' '}),
                         [](const auto& p) { return std::string(p.param.name); });

struct TransitCase {
  const char* name;
  const char* line;
  char pd, sd;
  char first;
};
class TransitRepair : public ::testing::TestWithParam<TransitCase> {};
TEST_P(TransitRepair, Holds) {
  std::string line = GetParam().line;
  RepairTransit(line, static_cast<int>(line.size()), GetParam().pd, GetParam().sd);
  EXPECT_EQ(line[0], GetParam().first);
}
INSTANTIATE_TEST_SUITE_P(Cases, TransitRepair,
                         ::testing::Values(TransitCase{"FourAlwaysRepaired", "4123456789:0", '9', '9', ':'},
                                           TransitCase{"UnsureRepaired", "7123456789:0", '7', '7', ':'},
                                           TransitCase{"OneSureTryKeeps", "7123456789:0", '8', '7', '7'},
                                           TransitCase{"ElevenLongKeeps", "4123456789:", '0', '0', '4'},
                                           TransitCase{"NoTransitKeeps", "41234567890123", '0', '0', '4'}),
                         [](const auto& p) { return std::string(p.param.name); });

struct CountCase {
  const char* name;
  const char* product;
  int32_t bytes;
};
class HostileCount : public ::testing::TestWithParam<CountCase> {};
TEST_P(HostileCount, StaysBounded) {
  FakeServices services;
  services.product = GetParam().product;
  services.params[119] = 1;  // colour: the repacking paths that grow the signal
  ScopedServices scope(services);
  auto decoder = OpenMagneticDecoder();
  const int32_t bytes = GetParam().bytes;
  std::vector<uint16_t> samples(static_cast<std::size_t>(std::max(bytes, 0)) / 2 + 1, 0);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
  char line[100], conf[100];
  const int32_t n = decoder->Decode(samples.data(), bytes, line, conf);
  EXPECT_GE(n, 0);
  EXPECT_LE(n, 81);
  EXPECT_EQ(std::strlen(line), static_cast<std::size_t>(n));
}
INSTANTIATE_TEST_SUITE_P(Counts, HostileCount,
                         ::testing::Values(CountCase{"Empty", "QV630", 0}, CountCase{"OneByte", "QV630", 1},
                                           CountCase{"Negative", "QV630", -4}, CountCase{"ShortOdd", "QV620", 301},
                                           CountCase{"QV600Huge", "QV600", 120000},
                                           CountCase{"RM70Huge", "RM 70", 120000},
                                           CountCase{"QV620ColourHuge", "QV620", 1 << 20}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Decoder, RawDumpReplacesAnOlderLongerFile) {
  zc::testkit::ScratchDir dir("micr_dump");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  dir.Write("micr1001.raw", std::string(100000, 'x'));
  FakeServices services;
  services.params[117] = 8;
  ScopedServices scope(services);
  auto decoder = OpenMagneticDecoder();
  const Decoded d = testing::DecodeSamples(*decoder, testing::IdealSamples(micrkit::E13bTrace(
                                                        "0123", testing::DecoderLayout())));
  struct stat st {};
  const int statResult = stat((dir / "micr1001.raw").c_str(), &st);
  std::filesystem::current_path(previous);
  ASSERT_EQ(statResult, 0);
  EXPECT_EQ(d.line, "0123");
  EXPECT_LT(st.st_size, 100000);
  EXPECT_EQ(st.st_size % 2, 0);
}

}  // namespace
}  // namespace analysis::micr

namespace analysis::micr {
namespace {

TEST(DebugAids, WaveformPlotReadsAsAnEightBitGrayBitmap) {
  if (!zc::testkit::HavePythonModule("PIL")) GTEST_SKIP() << "python3-pil is not installed";
  zc::testkit::ScratchDir dir("micr_plot");
  std::vector<uint16_t> samples(300);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint16_t>(i % 256);
  ASSERT_TRUE(funcMicrPlotWaveform(samples.data(), 300, dir / "plot.bmp", 0));
  const zc::testkit::CommandResult r = zc::testkit::RunCommand(
      "/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" + (dir / "plot.bmp") +
      "'); print(im.size[0], im.size[1], im.mode, round(im.info['dpi'][0]), im.getpixel((200, 200)))\"");
  ASSERT_TRUE(r.ok()) << r.output;
  // 3937 pixels per metre read back as 100 dpi; row 200 marks level 200.
  EXPECT_EQ(r.output, "256 300 L 100 0\n");
}

}  // namespace
}  // namespace analysis::micr
