#include "analysis/api_binding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "analysis/iqa/iqa_tests.h"
#include "analysis/micr/decoder.h"
#include "analysis/services.h"
#include "scratch_device_file.h"
#include "testkit/cheque/defect_image.h"
#include "testkit/cheque/codeline_cheque.h"
#include "testkit/micr/e13b_glyphs.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"
#include "zarn/analysis.h"
#include "zarn/params.h"
#include "zarn/scan.h"

namespace {

struct Installed {
  Installed() { analysis::InstallIntoApi(); }
  ~Installed() { analysis::RemoveFromApi(); }
};

std::vector<uint16_t> LineSamples(const std::string& printed) {
  micrkit::E13bLayout layout;
  layout.unitSamples = 1600 * micrkit::kE13bUnitInches;
  return micrkit::SampleTrace(micrkit::E13bTrace(printed, layout), micrkit::FormatForPreset(3, 50000));
}

// A connection's analysis state decodes with the template decoder and publishes what a decoder context
// of its own reads from the same samples: line, confidence, character positions and second reading.
TEST(AnalysisApiBinding, ConnectionStateDecodesAsTheTemplateDecoder) {
  Installed installed;
  const std::vector<uint16_t> samples = LineSamples(":123456789: 0123456<");

  auto state = zarn::OpenAnalysisState();
  char line[100] = {};
  char conf[100] = {};
  zarn::funcDecodeMagneticMICR(*state, samples.data(), static_cast<int>(samples.size() * 2), line, conf);
  const zarn::MagneticMicrResults got = state->Results();

  auto direct = analysis::micr::OpenMagneticDecoder();
  std::vector<uint16_t> copy = samples;
  char wantLine[100] = {};
  char wantConf[100] = {};
  direct->Decode(copy.data(), static_cast<int32_t>(copy.size() * 2), wantLine, wantConf);
  const analysis::micr::KeptResults kept = direct->Results();

  EXPECT_STREQ(line, ":123456789: 0123456<");
  EXPECT_STREQ(line, wantLine);
  EXPECT_STREQ(conf, wantConf);
  EXPECT_STREQ(got.line, wantLine);
  EXPECT_STREQ(got.secondLine, kept.signalLine.data());
  EXPECT_STREQ(got.secondConfidence, kept.signalConf.data());
  for (size_t i = 0; i < zarn::kMicrCharacterPositions; ++i) {
    EXPECT_EQ(static_cast<uint32_t>(got.positions[i]), kept.table[i]) << "position " << i;
  }
}

// Analysis reads its settings from the API's table and falls back on the API's answers for the calls it
// does not implement; removing it restores both placeholders.
TEST(AnalysisApiBinding, ParametersComeFromTheApiTableAndRemovalRestoresThePlaceholders) {
  zarn::testing::ScratchDeviceFile deviceFile;
  const int before = zarn::funcTableGetParam(187);
  {
    Installed installed;
    ASSERT_GE(zarn::funcTableSetParam(187, 3), 0);
    EXPECT_EQ(analysis::CurrentServices().ZARNGetParam(187), 3);
    EXPECT_EQ(zarn::VEKScanExpectFind("123"), -1);
    EXPECT_NE(&zarn::Analysis(), &zarn::PlaceholderAnalysis());
  }
  zarn::funcTableSetParam(187, before);
  EXPECT_EQ(&zarn::Analysis(), &zarn::PlaceholderAnalysis());
  EXPECT_EQ(analysis::CurrentServices().ZARNGetParam(187), 0);
}

// The document cycle's top-edge check reaches the image-quality analysis through the API; the DIB's
// extent comes from its header.
TEST(AnalysisApiBinding, TopEdgeCheckGradesTheFrontGeometry) {
  Installed installed;
  zc::testkit::DefectSpec spec;
  auto clean = zc::testkit::grayToPackedDib(zc::testkit::makeDefectImage(spec).gray);
  EXPECT_EQ(zarn::IQAStatusCombTopEdge(clean.data(), ""), 0);
  spec.skewDegrees = 3.3;
  auto skewed = zc::testkit::grayToPackedDib(zc::testkit::makeDefectImage(spec).gray);
  EXPECT_EQ(zarn::IQAStatusCombTopEdge(skewed.data(), ""), 1);
  std::vector<uint8_t> bad(40, 0);
  bad[0] = 40;
  EXPECT_EQ(zarn::IQAStatusCombTopEdge(bad.data(), ""), -103);
  EXPECT_EQ(zarn::IQAStatusCombTopEdge(nullptr, ""), -103);
}

}  // namespace

namespace {

// The API's optical calls read with the E13B reader: the whole line in a large buffer, a cut but
// terminated one in a small buffer, and a refused record leaves the caller's buffers alone.
TEST(AnalysisApiBinding, OpticalCallsReadWithTheCodeLineReader) {
  Installed installed;
  const std::string printed = ":123456789: 0123456<";
  const auto record = zc::testkit::BilevelRecord(
      zc::testkit::MakeCodeLineBilevel(zc::testkit::ChequeSpec{200, 6.0, 2.75, 5}, printed), 200);

  char line[128] = {}, conf[128] = {};
  ASSERT_EQ(zarn::funcOCRRawImage(record.data(), record.size(), line, conf, sizeof line), 0);
  std::string read(line);
  read.erase(0, read.find_first_not_of(' '));
  EXPECT_EQ(read, printed);
  EXPECT_EQ(std::strlen(conf), std::strlen(line));

  char small[6];
  ASSERT_EQ(zarn::funcOCRRawImage(record.data(), record.size(), small, conf, sizeof small), 0);
  EXPECT_EQ(std::strlen(small), sizeof small - 1);

  std::vector<uint8_t> gray = record;
  gray[4] = 8;  // bits per pixel
  std::strcpy(line, "kept");
  EXPECT_EQ(zarn::funcOCRRawImage(gray.data(), gray.size(), line, conf, sizeof line), 2);
  EXPECT_STREQ(line, "kept");
}

}  // namespace

namespace {

// The API's merge and status calls run the combination; method "KR" hands over to the verification,
// which reads the document's kept magnetic results.
TEST(AnalysisApiBinding, CombinationAnswersTheMergeAndStatusCalls) {
  Installed installed;
  const std::string before = zarn::funcTableGetParamString(159) != nullptr ? zarn::funcTableGetParamString(159) : "";
  ASSERT_GE(zarn::funcTableSetParamString(159, "KWL"), 0);
  char merged[64] = {};
  EXPECT_EQ(zarn::funcCombineMICR(":123456789: 12@4567<", ":123456789: 1234567<", "33333333333333333333", merged,
                                  sizeof merged, 4),
            0);
  EXPECT_STREQ(merged, ":123456789: 1234567<");
  EXPECT_EQ(zarn::funcGetMICRVerifyStatus(), 2);
  EXPECT_EQ(analysis::iqa::MicrVerifyFlags(), 0x4u);  // the top-edge check sees the same flags
  EXPECT_EQ(zarn::funcCombineMICR(":1234:", nullptr, "4", merged, sizeof merged, 4), 1);

  ASSERT_GE(zarn::funcTableSetParamString(159, "KR"), 0);
  zarn::KrMicrResults& kr = zarn::KRMicrResults();
  kr = zarn::KrMicrResults{};
  std::strcpy(kr.magnetic.line, ":123456789: 1234567<");
  std::strcpy(kr.magnetic.confidence, "99999999999999999999");
  std::strcpy(kr.magnetic.secondLine, ":123456789: 1234567<");
  std::strcpy(kr.magnetic.secondConfidence, "99999999999999999999");
  std::strcpy(kr.internalKwl, ":123456789: 1234567<");
  EXPECT_EQ(zarn::funcCombineMICR(":123456789: 1234567<", ":123456789: 1234567<", "44444444444444444444", merged,
                                  sizeof merged, 4),
            0);
  EXPECT_STREQ(merged, ":123456789: 1234567<");
  EXPECT_EQ(zarn::funcGetMICRVerifyStatus(), 3);
  zarn::funcTableSetParamString(159, before.c_str());
}

}  // namespace
