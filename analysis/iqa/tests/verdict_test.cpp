// The verdict table: every defect image, run with the full mask, gives the slots and flags its injected
// geometry implies.
#include <string>

#include "analysis/iqa/iqa_status.h"
#include "imaging/image_record.h"
#include "iqa_fixture.h"
#include "testkit/cheque/defect_image.h"

namespace analysis::iqa::testing {
namespace {

using zc::testkit::Corner;
using zc::testkit::DefectRect;
using zc::testkit::DefectSpec;

constexpr uint32_t kFullMask = kIqaAutoCrop | kIqaSpeckle4 | kIqaDocumentSize | kIqaSkew | kIqaCorners |
                               kIqaSolidLine | kIqaMicrQuality | kIqaEndorsement | kIqaCompressedSize |
                               kIqaFieldBits | kIqaDenseAreas | kIqaDarkBands | kIqaLineAnalysis |
                               kIqaDoubleTopEdge;

std::vector<uint8_t> RecordOf(const zc::testkit::BilevelImage& b, int dpi) {
  std::vector<uint8_t> r(8 + static_cast<size_t>(b.stride) * b.height);
  zc::imaging::WriteRecordHeader(r.data(), {b.width, b.height, 1, dpi});
  std::copy(b.rows.begin(), b.rows.end(), r.begin() + 8);
  return r;
}

struct VerdictCase {
  const char* name;
  DefectSpec spec;
};

DefectSpec Spec(void (*edit)(DefectSpec&)) {
  DefectSpec s;
  edit(s);
  return s;
}

class VerdictTest : public IqaTest, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(VerdictTest, SlotsAndFlags) {
  const int32_t widths[1] = {60}, heights[1] = {27};
  ASSERT_EQ(SetStandardCheckSizesAll(1, widths, heights, 1), 0);
  const auto image = zc::testkit::makeDefectImage(GetParam().spec);
  auto record = RecordOf(image.bits, GetParam().spec.dpi);
  IqaTestArgs args;
  args.mask = kFullMask;
  args.speckleLimit = zc::testkit::kVerdictSpeckleLimit;
  args.cornerLimit = zc::testkit::kVerdictCornerLimit;
  args.codeLine = "T123456789T 1234567890U";
  args.text2 = "";
  args.confidence = "99999999999999999999999";
  args.endFirst = 100;
  args.endEnd = image.bits.height - 200;
  args.charHeight = 21;
  args.minCount = 8;
  int32_t r[kIqaTableSlots] = {};
  const int flags = IQAStatusMem(record, 0, args, r);
  uint32_t expectedFlags = image.flags;
  if (GetParam().spec.width != 1200) expectedFlags |= kIqaDocumentSize;
  EXPECT_EQ(flags, static_cast<int>(expectedFlags));
  for (const auto& [slot, value] : image.slots) {
    if (slot == kSlotLineFlags) {
      EXPECT_EQ(r[slot] & value, value) << "slot " << slot;
    } else {
      EXPECT_EQ(r[slot], value) << "slot " << slot;
    }
  }
  EXPECT_EQ(r[kSlotCrop], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Defects, VerdictTest,
    ::testing::Values(
        VerdictCase{"cleanCheque", Spec([](DefectSpec& s) { s.fieldLines = true, s.fieldsWritten = true; })},
        VerdictCase{"blankFields", Spec([](DefectSpec& s) { s.fieldLines = true; })},
        VerdictCase{"skew2_9", Spec([](DefectSpec& s) { s.skewDegrees = 2.9; })},
        VerdictCase{"skew3_3", Spec([](DefectSpec& s) { s.skewDegrees = 3.3; })},
        VerdictCase{"foldedCornerTopLeft", Spec([](DefectSpec& s) { s.cornerLeg = 180; })},
        VerdictCase{"tornCornerBottomRight", Spec([](DefectSpec& s) {
                      s.cornerLeg = 120, s.corner = Corner::kBottomRight, s.tornCorner = true;
                    })},
        VerdictCase{"smallFoldTopRight",
                    Spec([](DefectSpec& s) { s.cornerLeg = 60, s.corner = Corner::kTopRight; })},
        VerdictCase{"tornTopEdge", Spec([](DefectSpec& s) { s.tornEdgeDepth = 40; })},
        VerdictCase{"piggyback", Spec([](DefectSpec& s) {
                      s.piggybackRows = 60, s.piggybackLeft = 0, s.piggybackRight = 500;
                    })},
        VerdictCase{"nonStandardSize", Spec([](DefectSpec& s) { s.width = 1000; })},
        VerdictCase{"speckles1", Spec([](DefectSpec& s) { s.speckleSize = 1, s.speckleEvery = 40; })},
        VerdictCase{"speckles2", Spec([](DefectSpec& s) { s.speckleSize = 2, s.speckleEvery = 40; })},
        VerdictCase{"speckles3Sparse", Spec([](DefectSpec& s) { s.speckleSize = 3, s.speckleEvery = 300; })},
        VerdictCase{"speckles5Kept", Spec([](DefectSpec& s) { s.speckleSize = 5, s.speckleEvery = 60; })},
        VerdictCase{"streakRow", Spec([](DefectSpec& s) { s.streakRows = {300}; })},
        VerdictCase{"tooDark", Spec([](DefectSpec& s) { s.inkPercent = 50; })},
        VerdictCase{"tooLight", Spec([](DefectSpec&) {})},
        VerdictCase{"blot", Spec([](DefectSpec& s) {
                      s.blots = {DefectRect{300, 200, 120, 120}};
                    })},
        VerdictCase{"band", Spec([](DefectSpec& s) {
                      s.bands = {DefectRect{200, 250, 640, 60}};
                    })},
        VerdictCase{"verticalLine", Spec([](DefectSpec& s) { s.verticalLines = {600}; })},
        VerdictCase{"rearEndorsed", Spec([](DefectSpec& s) { s.rear = true, s.endorsementMarks = 8; })},
        VerdictCase{"rearBlank", Spec([](DefectSpec& s) { s.rear = true, s.endorsementMarks = 0; })}),
    [](const auto& i) { return std::string(i.param.name); });

TEST_F(IqaTest, SpeckleAreaGrowsWithInjectedDensity) {
  int last = -1;
  for (int every : {200, 100, 50, 25}) {
    DefectSpec s;
    s.speckleSize = 2;
    s.speckleEvery = every;
    const auto image = zc::testkit::makeDefectImage(s);
    auto record = RecordOf(image.bits, 200);
    IqaTestArgs args;
    args.mask = kIqaSpeckle2;
    args.speckleLimit = 1 << 30;
    int32_t r[kIqaTableSlots] = {};
    EXPECT_EQ(IQAStatusMem(record, 0, args, r), 0);
    EXPECT_EQ(r[kSlotSpeckles], image.slots.at(kSlotSpeckles));
    EXPECT_GT(r[kSlotSpeckles], last);
    last = r[kSlotSpeckles];
  }
}

TEST_F(IqaTest, FrontAndRearOfMismatchedSizesCompareUnequal) {
  DefectSpec front, rear;
  rear.width = 1100;
  auto a = RecordOf(zc::testkit::makeDefectImage(front).bits, 200);
  auto b = RecordOf(zc::testkit::makeDefectImage(rear).bits, 200);
  EXPECT_EQ(IQACompareImageSizes(a, nullptr, b, nullptr, 2), 1);
  EXPECT_EQ(IQACompareImageSizes(a, nullptr, a, nullptr, 2), 0);
}

}  // namespace
}  // namespace analysis::iqa::testing
