// The full image-quality mask on a 200-dpi business front (8.75 x 3.75 in) and its rear, as the verified
// scan grades them: update mode 0 together, and update mode 1 (smoothing and the G4 result file) apart.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "analysis/iqa/iqa_image.h"
#include "analysis/iqa/iqa_status.h"
#include "analysis/iqa/iqa_tests.h"
#include "imaging/image_record.h"
#include "testkit/cheque/defect_image.h"
#include "testkit/support/scratch_dir.h"

namespace {

using namespace analysis::iqa;

constexpr uint32_t kFullMask = kIqaAutoCrop | kIqaSpeckle4 | kIqaDocumentSize | kIqaSkew | kIqaCorners |
                               kIqaSolidLine | kIqaMicrQuality | kIqaEndorsement | kIqaCompressedSize |
                               kIqaFieldBits | kIqaDenseAreas | kIqaDarkBands | kIqaLineAnalysis |
                               kIqaDoubleTopEdge;

std::vector<uint8_t> Record(const zc::testkit::DefectSpec& spec) {
  const auto image = zc::testkit::makeDefectImage(spec);
  std::vector<uint8_t> r(8 + image.bits.rows.size());
  zc::imaging::WriteRecordHeader(r.data(), {image.bits.width, image.bits.height, 1, 200});
  std::copy(image.bits.rows.begin(), image.bits.rows.end(), r.begin() + 8);
  return r;
}

zc::testkit::DefectSpec Business(bool rear) {
  zc::testkit::DefectSpec s;
  s.width = 1750;
  s.height = 750;
  s.fieldLines = !rear;
  s.fieldsWritten = !rear;
  s.rear = rear;
  s.endorsementMarks = rear ? 12 : 0;
  s.speckleSize = 1;
  s.speckleEvery = 90;
  return s;
}

IqaTestArgs Args() {
  IqaTestArgs a;
  a.mask = kFullMask;
  a.speckleLimit = 100;
  a.cornerLimit = 75;
  a.codeLine = "T123456789T 1234567890U";
  a.text2 = "";
  a.confidence = "99999999999999999999999";
  a.endFirst = 100;
  a.endEnd = 550;
  a.charHeight = 21;
  a.minCount = 8;
  return a;
}

void BM_FullMaskFrontAndRear(benchmark::State& state) {
  const auto front = Record(Business(false)), rear = Record(Business(true));
  int32_t r[kIqaTableSlots];
  for (auto _ : state) {
    auto f = front, b = rear;
    benchmark::DoNotOptimize(IQAStatusMem(f, 0, Args(), r));
    benchmark::DoNotOptimize(IQAStatusMem(b, 0, Args(), r));
  }
}
BENCHMARK(BM_FullMaskFrontAndRear)->Unit(benchmark::kMillisecond);

void BM_FullMaskFrontWithG4Result(benchmark::State& state) {
  zc::testkit::ScratchDir dir("iqa_bench");
  const std::string out = dir / "result.tif";
  const auto front = Record(Business(false));
  int32_t r[kIqaTableSlots];
  for (auto _ : state) {
    if (LoadIQAMemoryFromMem(front) != 0) state.SkipWithError("not loadable");
    benchmark::DoNotOptimize(
        TestIQADocument(1, out.c_str(), {}, kFullMask, 100, 0, 75, "T1T", "", "999", 100, 550, 21, 8, r));
  }
}
BENCHMARK(BM_FullMaskFrontWithG4Result)->Unit(benchmark::kMillisecond);

}  // namespace
