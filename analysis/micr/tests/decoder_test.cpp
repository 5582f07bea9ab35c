// The decoder's pipeline end to end on synthetic lines, its classification of scanners, the line rules
// and the handling of hostile sample counts.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/micr/debug_logs.h"
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

// The decoder's text logs in a scratch drive, read back line by line.
struct LogRun {
  std::string result, test, temp;
  bool rawDump = false;
  Decoded decoded;
};

LogRun DecodeWithLogs(int32_t logBits, const micrkit::MagneticTrace& trace) {
  zc::testkit::ScratchDir dir("micr_logs");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  plat::SetDriveRoot(dir.Path());
  FakeServices services;
  services.params[117] = logBits;
  ScopedServices scope(services);
  auto decoder = OpenMagneticDecoder();
  LogRun run;
  run.decoded = testing::DecodeSamples(*decoder, testing::IdealSamples(trace));
  const auto read = [&](const char* name) { return dir.Exists(name) ? dir.Read(name) : std::string(); };
  run.result = read("resu3G00.log");
  run.test = read("test0000.log");
  run.temp = read("temp0000.log");
  run.rawDump = dir.Exists("micr1001.raw");
  plat::ResetFolders();
  std::filesystem::current_path(previous);
  return run;
}

std::vector<std::string> Lines(const std::string& log) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = log.find("\r\n", from)) != std::string::npos; from = at + 2)
    lines.push_back(log.substr(from, at - from));
  return lines;
}

std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& line, std::size_t from = 0) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i] == line) return i;
  }
  return lines.size();
}

bool StartsWith(const std::string& s, std::string_view prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// "12034" with one lobe of the '2' gone and a faint '3': records 0 and 1 (the '4' and the '3', found
// first) are read sure and rejected.
micrkit::MagneticTrace DoubtfulLine() {
  micrkit::MagneticTrace trace = micrkit::E13bTrace("12034", testing::DecoderLayout());
  trace.ScaleLobe(1, 2, 0.0);
  trace.ScaleCharacter(3, 0.45);
  return trace;
}

TEST(Decoder, DebugLogsDumpDoubtfulRecordsAndBothTriesInOrder) {
  const LogRun run = DecodeWithLogs(4 | 8, DoubtfulLine());
  const Decoded& d = run.decoded;
  ASSERT_EQ(d.Peaks(), "120@4");
  ASSERT_EQ(d.PeaksConf(), "92909");
  const std::vector<std::string> lines = Lines(run.result);

  // The sure record has its summary only; the reject is dumped after its summary: its samples up to
  // index 209 with the separator at its width, its fields, its peaks and the short summary.
  const std::size_t sure =
      IndexOf(lines, "0000:  4   4          9 szConf= 9 sz2Conf = 9, iCharOffset = 1192");
  ASSERT_LT(sure + 1, lines.size());
  EXPECT_TRUE(StartsWith(lines[sure + 1], "   3:  16 @   51  1394   4  40  25  40  45 -58   0"))
      << lines[sure + 1];
  const std::size_t reject =
      IndexOf(lines, "0001:  @  16          0 szConf= 0 sz2Conf = 0, iCharOffset = 1394", sure);
  ASSERT_LT(reject + 264, lines.size());
  for (int i = 0; i <= 209; ++i) {
    const std::size_t at = reject + 1 + static_cast<std::size_t>(i) + (i >= 51 ? 1 : 0);
    ASSERT_TRUE(StartsWith(lines[at], Format("pbInputBuffer[%5d] = ", i))) << lines[at];
  }
  EXPECT_EQ(lines[reject + 1], "pbInputBuffer[    0] =     151,      24");
  EXPECT_EQ(lines[reject + 52], "---------------------");
  EXPECT_EQ(lines[reject + 212], "cChar = @, bChar =    16, iCharWidth =    51, iCharOffset =  1394");
  EXPECT_EQ(lines[reject + 213], "iPeak =     4, iHeight =    40, iWidth =     7");
  EXPECT_EQ(lines[reject + 215], "iPeak =    45, iHeight =   -58, iWidth =    10");
  EXPECT_EQ(lines[reject + 216], "0001:  @  16          0");
  EXPECT_EQ(IndexOf(lines, "0000:  4   4          9"), lines.size());

  // The closing block: the first try's line twice before the merge, the second try's, then the merge.
  const std::size_t codes = IndexOf(lines, "iCodes = 5196", reject);
  const std::vector<std::string> closing{"iCodes = 5196",
                                         "\nszMICR = 120@4\n",
                                         "szConf = 92909\n",
                                         "\nszMICR = 120@4\n",
                                         "szConf = 92909\n",
                                         "\nsz2MICR = 120@4\n",
                                         "sz2Conf = 96909\n",
                                         "iCodes = 5196",
                                         "\nTRY2: PEAKS  szMICR  = 120@4\n",
                                         "TRY2: PEAKS  szConf  = 92909\n",
                                         "\nTRY2: SIGNAL sz2MICR = 120@4\n",
                                         "TRY2: SIGNAL sz2Conf = 96909\n"};
  ASSERT_LE(codes + closing.size(), lines.size());
  for (std::size_t i = 0; i < closing.size(); ++i) EXPECT_EQ(lines[codes + i], closing[i]) << i;
  // Then every record in the order found, each with the distance to the next one's offset.
  std::size_t at = codes + closing.size();
  EXPECT_EQ(lines[at], "cC = 4, bC =  4, iCW =  138, iCOffset =  1192, Dist =   202");
  EXPECT_EQ(lines[at + 5], "cC = @, bC = 16, iCW =   51, iCOffset =  1394, Dist =   197");
  EXPECT_EQ(lines[at + 6], "iPeak =     4, iHeight =    40, iWidth =     7");
  const std::size_t last = IndexOf(lines, "cC = 1, bC =  1, iCW =   97, iCOffset =  1992, Dist = -1992", at);
  EXPECT_EQ(last + 5, lines.size());

  // The short summary goes to the test and temp logs too; the temp log opens with the first doubtful
  // record, which sets its switch.
  EXPECT_NE(IndexOf(Lines(run.test), "0001:  @  16          0"), Lines(run.test).size());
  ASSERT_FALSE(Lines(run.temp).empty());
  EXPECT_EQ(Lines(run.temp)[0], "0001:  @  16          0");
  EXPECT_TRUE(run.rawDump);
}

TEST(Decoder, DebugLogsFollowTheirSwitches) {
  const LogRun off = DecodeWithLogs(0, DoubtfulLine());
  EXPECT_EQ(off.decoded.line, "120@4");
  EXPECT_TRUE(off.result.empty());
  EXPECT_TRUE(off.test.empty());
  EXPECT_TRUE(off.temp.empty());
  EXPECT_FALSE(off.rawDump);
  // Text logs without the dump switch: no temp log and no raw dump, the result log in full.
  const LogRun text = DecodeWithLogs(4, DoubtfulLine());
  EXPECT_TRUE(text.temp.empty());
  EXPECT_FALSE(text.rawDump);
  EXPECT_EQ(Lines(text.result), Lines(DecodeWithLogs(4 | 8, DoubtfulLine()).result));
  // The dump switch alone writes the raw dump and the temp log, but neither text log.
  const LogRun dump = DecodeWithLogs(8, DoubtfulLine());
  EXPECT_TRUE(dump.rawDump);
  EXPECT_TRUE(dump.result.empty());
  EXPECT_TRUE(dump.test.empty());
  EXPECT_EQ(Lines(dump.temp), Lines(DecodeWithLogs(4 | 8, DoubtfulLine()).temp));
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
