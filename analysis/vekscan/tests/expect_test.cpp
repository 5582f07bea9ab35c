// The expected-code-line table, endorsement formats and settings, file and record sizes, the half turn.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "analysis/vekscan/vekscan.h"
#include "imaging/image_record.h"
#include "testkit/support/scratch_dir.h"

namespace analysis::vekscan {
namespace {

zarn::VEKScanExpectEntry Entry(const char* routing, const char* account) {
  zarn::VEKScanExpectEntry e{};
  std::strncpy(e.Routing, routing, sizeof e.Routing - 1);
  std::strncpy(e.Accout, account, sizeof e.Accout - 1);
  e.Threshold = 1;
  e.Contrast = 600;
  return e;
}

class ExpectTableTest : public ::testing::Test {
 protected:
  void TearDown() override { zarn::VEKScanExpectTable().Clear(); }
};

struct FindCase {
  const char* name;
  std::vector<zarn::VEKScanExpectEntry> entries;
  const char* line;
  int index;
};

class ExpectFindTest : public ExpectTableTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(ExpectFindTest, FindsTheEntry) {
  zarn::VEKScanExpectTable().Replace(GetParam().entries);
  EXPECT_EQ(VEKScanExpectFind(GetParam().line), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExpectFindTest,
    ::testing::Values(
        FindCase{"NineDigitRoutingEmptyAccount", {Entry("123456789", "")}, " T123456789T 12345678U 0100", 0},
        FindCase{"RoutingAfterARepeatedFirstDigit", {Entry("123", "")}, "T9911234T", 0},
        FindCase{"AccountAfterAnExtraLeadingZero", {Entry("T0", "0012345")}, "T0T 00012345U", 0},
        FindCase{"RoutingAndAccountBothNeeded", {Entry("111000025", "999")}, "T111000025T 12345U", -1},
        FindCase{"SecondEntryFound", {Entry("555", ""), Entry("111000025", "12345")}, "T111000025T 12345U", 1},
        FindCase{"EmptyTextsMatchAnyLine", {Entry("", "")}, "anything", 0},
        FindCase{"OneDifferenceAgainstElevenCharacters", {Entry("T11100X025T", "")}, "  T111000025T 1U", 0},
        FindCase{"TwoDifferencesFindNothing", {Entry("T11100XX25T", "")}, "  T111000025T 1U", -1},
        FindCase{"OneDifferenceNeedsElevenCharacters", {Entry("T11100X025T", "")}, "T1110", -1},
        FindCase{"OneDifferenceNeedsAnEmptyAccount", {Entry("T11100X025T", "1")}, "T111000025T 1U", -1},
        FindCase{"EmptyTable", {}, "T111000025T", -1}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ExpectTableTest, ANullLineFindsOnlyEmptyTexts) {
  zarn::VEKScanExpectTable().Replace({Entry("1", "")});
  EXPECT_EQ(VEKScanExpectFind(nullptr), -1);
}

struct SetCase {
  const char* name;
  int count, k;
  const char* routing;
  const char* account;
  int threshold, min, contrast;
  int result;
  const char* storedRouting;
  const char* storedAccount;
  int storedThreshold, storedMin, storedContrast;
};

class ExpectSetTest : public ExpectTableTest, public ::testing::WithParamInterface<SetCase> {};

TEST_P(ExpectSetTest, StoresOrReplacesByDefaults) {
  const SetCase& c = GetParam();
  ASSERT_EQ(VEKScanExpectSet(c.count, c.k, c.routing, c.account, c.threshold, c.min, c.contrast, 0x21), c.result);
  const auto entries = zarn::VEKScanExpectTable().Entries();
  ASSERT_EQ(entries.size(), static_cast<size_t>(c.count));
  const zarn::VEKScanExpectEntry& e = entries[static_cast<size_t>(c.k - 1)];
  EXPECT_STREQ(e.Routing, c.storedRouting);
  EXPECT_STREQ(e.Accout, c.storedAccount);
  EXPECT_EQ(e.Threshold, c.storedThreshold);
  EXPECT_EQ(e.Min, c.storedMin);
  EXPECT_EQ(e.Contrast, c.storedContrast);
  EXPECT_EQ(e.Options, 0x21);
}

const std::string kLong(16, '7');

INSTANTIATE_TEST_SUITE_P(
    Cases, ExpectSetTest,
    ::testing::Values(
        SetCase{"ValidEdgeEntry", 2, 2, "T111000025T", "12345", 1, 7, 800, 0, "T111000025T", "12345", 1, 7, 800},
        SetCase{"FixedThresholdContrastOutOfRangeIsQuietlyTen", 1, 1, "1", "", 2, 0, 500, 0, "1", "", 2, 0, 10},
        SetCase{"EdgeContrastOutOfRange", 1, 1, "1", "", 1, 0, 100, -102, "1", "", 1, 0, 600},
        SetCase{"EmptyRouting", 1, 1, "", "", 1, 0, 600, -102, "=========", "", 1, 0, 600},
        SetCase{"MissingRouting", 1, 1, nullptr, "", 1, 0, 600, -102, "=========", "", 1, 0, 600},
        SetCase{"SixteenCharacterRouting", 1, 1, kLong.c_str(), "", 1, 0, 600, -102, "=========", "", 1, 0, 600},
        SetCase{"SixteenCharacterAccount", 1, 1, "1", kLong.c_str(), 1, 0, 600, -102, "1", "", 1, 0, 600},
        SetCase{"MissingAccount", 1, 1, "1", nullptr, 1, 0, 600, -102, "1", "", 1, 0, 600},
        SetCase{"ThresholdOutOfRange", 1, 1, "1", "", 4, 0, 600, -102, "1", "", 1, 0, 600},
        SetCase{"MinOutOfRange", 1, 1, "1", "", 3, 256, 5, -102, "1", "", 3, 0, 5}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ExpectTableTest, SizingFillsTheTenEqualsPlaceholderAndKeepsSetEntries) {
  ASSERT_EQ(VEKScanExpectSet(3, 2, "222", "", 1, 0, 600, 0), 0);
  ASSERT_EQ(VEKScanExpectSet(3, 3, "333", "", 1, 0, 600, 0), 0);
  const auto e = zarn::VEKScanExpectTable().Entries();
  EXPECT_STREQ(e[0].Routing, "==========");
  EXPECT_STREQ(e[1].Routing, "222");
  EXPECT_STREQ(e[2].Routing, "333");
  // A new count sizes afresh.
  ASSERT_EQ(VEKScanExpectSet(2, 1, "111", "", 1, 0, 600, 0), 0);
  EXPECT_STREQ(zarn::VEKScanExpectTable().Entries()[1].Routing, "==========");
}

TEST_F(ExpectTableTest, CountOrEntryOutOfRangeChangesNothing) {
  ASSERT_EQ(VEKScanExpectSet(1, 1, "1", "", 1, 0, 600, 0), 0);
  EXPECT_EQ(VEKScanExpectSet(101, 1, "1", "", 1, 0, 600, 0), -102);
  EXPECT_EQ(VEKScanExpectSet(2, 3, "1", "", 1, 0, 600, 0), -102);
  EXPECT_EQ(VEKScanExpectSet(2, 0, "1", "", 1, 0, 600, 0), -102);
  EXPECT_EQ(VEKScanExpectSet(-1, 1, "1", "", 1, 0, 600, 0), -102);
  EXPECT_EQ(zarn::VEKScanExpectTable().Count(), 1);
}

struct FormatCase {
  const char* name;
  const char* format;
  int counter;
  const char* text;
};
class EndorsementFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EndorsementFormatTest, Renders) {
  EXPECT_EQ(FormatEndorsement(GetParam().format, GetParam().counter), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndorsementFormatTest,
    ::testing::Values(FormatCase{"PlainText", "PAID", 5, "PAID"},
                      FormatCase{"Decimal", "No %d", 42, "No 42"},
                      FormatCase{"ZeroPaddedWidth", "%06d/BANK", 42, "000042/BANK"},
                      FormatCase{"LeftAlignedWidthAndPercent", "[%-4d] 100%%", 7, "[7   ] 100%"},
                      FormatCase{"HexLong", "%lx", 255, "ff"},
                      FormatCase{"StringConversionLiteral", "Batch %s", 1, "Batch %s"},
                      FormatCase{"CountConversionLiteral", "Batch %n", 1, "Batch %n"},
                      FormatCase{"TwoConversionsLiteral", "%d of %d", 1, "%d of %d"},
                      FormatCase{"StarWidthLiteral", "%*d", 1, "%*d"},
                      FormatCase{"HugeWidthLiteral", "%99999d", 1, "%99999d"},
                      FormatCase{"TrailingPercentLiteral", "50%", 1, "50%"},
                      FormatCase{"FloatLiteral", "%f", 1, "%f"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(EndorsementSettings, SidesThreeSetsTheFrontOnlyAndCopiesAreBounded) {
  VEKScanSetVirtualEndorsement(nullptr, nullptr, 0, 0, 0, nullptr, nullptr);
  const std::string format(400, 'F');
  const std::string face(300, 'a');
  const int32_t values[10] = {30, 10, 20, 1, 0, 90, 5, 6, 7, 8};
  EXPECT_EQ(VEKScanSetVirtualEndorsement(format.c_str(), nullptr, 3, 100, 2, values, face.c_str()), 1);
  const VEKScanEndorsement& front = EndorsementRecord(0);
  EXPECT_EQ(std::strlen(front.format), 255u);
  EXPECT_EQ(std::strlen(front.face), 127u);
  EXPECT_EQ(front.counter, 100);
  EXPECT_EQ(front.step, 2);
  EXPECT_EQ(front.values[5], 90);
  EXPECT_EQ(front.values[9], 8);
  EXPECT_EQ(EndorsementRecord(1).format[0], '\0');
  VEKScanSetVirtualEndorsement(nullptr, nullptr, 0, 0, 0, nullptr, nullptr);
  EXPECT_EQ(EndorsementRecord(0).format[0], '\0');
}

TEST(RecordSize, ByDepthIn64Bits) {
  uint8_t h[8];
  auto size = [&](int w, int rows, int bits) {
    zc::imaging::WriteRecordHeader(h, {w, rows, bits, 200});
    return funcImageRecordSize(h);
  };
  EXPECT_EQ(size(1700, 800, 1), 8 + 213 * 800);
  EXPECT_EQ(size(1701, 800, 4), 8 + 851 * 800);
  EXPECT_EQ(size(1700, 800, 8), 8 + 1700 * 800);
  EXPECT_EQ(size(32767, 32767, 24), 8 + int64_t{3} * 32767 * 32767);  // past 32 bits
  EXPECT_EQ(size(1700, 800, 16), 8);
  EXPECT_EQ(funcImageRecordSize(nullptr), 0);
}

TEST(FileSize, OfAFileAndOfNone) {
  zc::testkit::ScratchDir dir("vekscan");
  dir.Write("f.bin", std::string(1234, 'x'));
  EXPECT_EQ(funcGetFileSize(dir.File("f.bin").c_str()), 1234);
  EXPECT_EQ(funcGetFileSize(dir.File("none.bin").c_str()), -1);
  EXPECT_EQ(funcGetFileSize(nullptr), -1);
}

struct RotateCase {
  const char* name;
  int width, height, bits;
};
class Rotate180Test : public ::testing::TestWithParam<RotateCase> {};

std::vector<uint8_t> Record(int w, int h, int bits) {
  zc::imaging::RecordHeader header{w, h, bits, 200};
  std::vector<uint8_t> r(static_cast<size_t>(zc::imaging::RecordByteSize(header)));
  zc::imaging::WriteRecordHeader(r.data(), header);
  std::iota(r.begin() + 8, r.end(), uint8_t{1});
  return r;
}

TEST_P(Rotate180Test, TwiceIsTheIdentity) {
  const auto original = Record(GetParam().width, GetParam().height, GetParam().bits);
  auto r = original;
  funcRotate180(r);
  if (GetParam().bits != 1) {
    EXPECT_NE(r, original);
  }
  funcRotate180(r);
  EXPECT_EQ(r, original);
}

INSTANTIATE_TEST_SUITE_P(Cases, Rotate180Test,
                         ::testing::Values(RotateCase{"Gray", 7, 5, 8}, RotateCase{"Colour", 5, 3, 24},
                                           RotateCase{"FourBit", 6, 4, 4}, RotateCase{"BilevelUntouched", 16, 2, 1}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Rotate180, MovesPixelsToTheOppositeCorner) {
  auto gray = Record(3, 2, 8);  // 1 2 3 / 4 5 6
  funcRotate180(gray);
  EXPECT_EQ(std::vector<uint8_t>(gray.begin() + 8, gray.end()), (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));
  auto colour = Record(2, 1, 24);  // (1 2 3) (4 5 6)
  funcRotate180(colour);
  EXPECT_EQ(std::vector<uint8_t>(colour.begin() + 8, colour.end()), (std::vector<uint8_t>{4, 5, 6, 1, 2, 3}));
  auto nibbles = Record(4, 1, 4);  // 0x01 0x02 -> pixels 0 1 0 2
  funcRotate180(nibbles);
  EXPECT_EQ(std::vector<uint8_t>(nibbles.begin() + 8, nibbles.end()), (std::vector<uint8_t>{0x20, 0x10}));
}

TEST(Rotate180, ARecordLargerThanItsBufferStays) {
  auto r = Record(4, 4, 8);
  const auto before = r;
  funcRotate180(std::span<uint8_t>(r).first(12));
  EXPECT_EQ(r, before);
  funcRotate180({});
}

}  // namespace
}  // namespace analysis::vekscan
