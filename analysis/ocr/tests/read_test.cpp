// End-to-end readings of synthetic cheque fronts: every resolution and every form the reader takes (TIFF
// file, "MD:" memory image, image record, upside-down record) gives the printed line exactly.
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/ocr/tests/ocr_fixture.h"
#include "imaging/image_writers.h"
#include "sim/documents/cheque_faces.h"
#include "testkit/cheque/codeline_cheque.h"
#include "testkit/support/scratch_dir.h"

namespace analysis::ocr::test {
namespace {

constexpr const char* kLine = ";0012345678; <9876543210< :123456789: 45=67";

std::string Read(const std::vector<uint8_t>& record, int* result = nullptr) {
  char line[128] = {}, conf[128] = {};
  const int r = funcOCRRawImage(record.data(), record.size(), line, conf);
  if (result != nullptr) *result = r;
  return line;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  return s;
}

class ReadByResolution : public OcrTest, public ::testing::WithParamInterface<int> {};

TEST_P(ReadByResolution, RecordReadsThePrintedLine) {
  const int dpi = GetParam();
  const zc::testkit::ChequeSpec spec{dpi, 6.0, 2.75, 3};
  const auto bw = zc::testkit::MakeCodeLineBilevel(spec, kLine);
  int result = -1;
  const std::string read = Read(zc::testkit::BilevelRecord(bw, dpi), &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Trimmed(read), kLine);
}

// The same front as a G4 file, as an "MD:" memory image and as a record read the same line; an upside-down
// record read through the rotated entry too (its width a multiple of 8).
TEST_P(ReadByResolution, EveryFormReadsTheSameLine) {
  const int dpi = GetParam();
  const zc::testkit::ChequeSpec spec{dpi, 6.0, 2.75, 11};
  const auto bw = zc::testkit::MakeCodeLineBilevel(spec, kLine);
  ASSERT_EQ(bw.width % 8, 0);
  const auto record = zc::testkit::BilevelRecord(bw, dpi);
  char line[128], conf[128];
  ASSERT_EQ(funcOCRRawImage(record.data(), record.size(), line, conf), 0);
  const std::string fromRecord = line, confidence = conf;
  EXPECT_EQ(Trimmed(fromRecord), kLine);

  zc::testkit::ScratchDir dir("ocr_read");
  ASSERT_GT(zc::imaging::ZARNCompressImage(dir.File("front.tif").c_str(), record), 0);
  ASSERT_EQ(funcOCRTiffImage(dir.File("front.tif").c_str(), 1, 0, line, conf), 0);
  EXPECT_EQ(Trimmed(line), kLine);

  std::vector<uint8_t> memory(record.size() + 4096);
  const std::string target = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(memory.data()));
  ASSERT_GT(zc::imaging::ZARNCompressImage((target + ":" + std::to_string(memory.size())).c_str(), record), 0);
  ASSERT_EQ(funcOCRTiffImage(target.c_str(), 1, 0, line, conf), 0);
  EXPECT_EQ(Trimmed(line), kLine);

  const auto upsideDown = zc::testkit::BilevelRecord(zc::testkit::Rotate180(bw), dpi);
  ASSERT_EQ(funcOCRRawImageRotated(upsideDown.data(), upsideDown.size(), line, conf), 0);
  EXPECT_EQ(Trimmed(line), kLine);
  EXPECT_EQ(MICRVerifyCounters.OcrCalls, 4);
  EXPECT_EQ(MICRVerifyCounters.OcrFailures, 0);
}

// The simulated scanner's fronts carry the same renderer's line.
TEST_P(ReadByResolution, SimulatedFrontReads) {
  const int dpi = GetParam();
  const std::string printed = ":123456789: 0012345<";
  const sim::documents::SideImage front =
      sim::documents::MakeFront(sim::documents::FaceSpec{dpi, 6.0, 2.75, false, 8}, printed,
                                sim::documents::MicrFont::kE13b);
  zc::testkit::GrayImage gray;
  gray.width = front.width;
  gray.height = front.height;
  for (size_t i = 0; i < front.rgb.size(); i += 3) gray.pixels.push_back(front.rgb[i]);
  int result = -1;
  const std::string read = Read(zc::testkit::BilevelRecord(zc::testkit::thresholdImage(gray, 128), dpi), &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Trimmed(read), printed);
}

INSTANTIATE_TEST_SUITE_P(Dpi, ReadByResolution, ::testing::Values(200, 240, 300),
                         [](const auto& info) { return std::to_string(info.param) + "dpi"; });

}  // namespace
}  // namespace analysis::ocr::test
