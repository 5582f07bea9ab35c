// Timing of the optical readers: the E13B reader on a 1700 x 100 code-line strip at 200 dpi (clean and
// degraded), on a 1704 x 736 G4 front with decoding, box search and classification timed apart, and on a
// line of 60 ambiguous blobs; the CMC-7 reader on a 2550 x 1100 gray front. A last benchmark prints the
// read-rate table on 1000 lines a condition.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/ocr/codeline_ocr.h"
#include "analysis/ocr/ocr_state.h"
#include "analysis/ocr/tests/read_rate.h"
#include "analysis/optical/cmc7_reader.h"
#include "imaging/image_writers.h"
#include "testkit/cheque/codeline_cheque.h"

namespace {

using analysis::ocr::test::OpticalCondition;

const std::string kLine = ";0012345678; <9876543210< :123456789: 45=67 0123456789";

// The bottom 100 rows of a front 1700 pixels wide.
std::vector<uint8_t> Strip(const zc::testkit::LineDefects& d) {
  const auto bw = zc::testkit::MakeCodeLineBilevel(zc::testkit::ChequeSpec{200, 8.5, 3.67, 3}, kLine, d);
  zc::testkit::BilevelImage strip(bw.width, 100);
  for (int y = 0; y < 100; ++y) {
    std::copy(bw.row(bw.height - 100 + y), bw.row(bw.height - 100 + y) + bw.stride, strip.row(y));
  }
  return zc::testkit::BilevelRecord(strip, 200);
}

void ReadStrip(benchmark::State& state, const zc::testkit::LineDefects& d) {
  const auto record = Strip(d);
  analysis::ocr::funcSetOCRBand(0, 0);
  char line[128], conf[128];
  for (auto _ : state) {
    benchmark::DoNotOptimize(analysis::ocr::funcOCRRawImage(record.data(), record.size(), line, conf));
  }
}
void BM_StripClean(benchmark::State& state) { ReadStrip(state, {}); }
void BM_StripDegraded(benchmark::State& state) {
  zc::testkit::LineDefects d;
  d.jitter = 0.1;
  d.speckles = 300;
  d.voids = 20;
  ReadStrip(state, d);
}
BENCHMARK(BM_StripClean)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StripDegraded)->Unit(benchmark::kMillisecond);

// The front as an "MD:" G4 image: its decoding alone, then boxes and classes on the loaded image.
struct G4Front {
  std::vector<uint8_t> memory;
  std::string name;
  G4Front() {
    const auto bw = zc::testkit::MakeCodeLineBilevel(zc::testkit::ChequeSpec{200, 8.52, 3.68, 3}, kLine);
    const auto record = zc::testkit::BilevelRecord(bw, 200);
    memory.resize(record.size() + 4096);
    name = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(memory.data()));
    if (zc::imaging::ZARNCompressImage((name + ":" + std::to_string(memory.size())).c_str(), record) <= 0) std::abort();
  }
};

void BM_FrontDecode(benchmark::State& state) {
  G4Front front;
  for (auto _ : state) benchmark::DoNotOptimize(analysis::ocr::funcOCRLoadTiff(front.name.c_str(), 1, 0));
  analysis::ocr::funcOCRFreeImage();
}
void BM_FrontBoxes(benchmark::State& state) {
  G4Front front;
  analysis::ocr::funcOCRLoadTiff(front.name.c_str(), 1, 0);
  for (auto _ : state) benchmark::DoNotOptimize(analysis::ocr::funcOCRFindBoxes());
  analysis::ocr::funcOCRFreeImage();
}
void BM_FrontClasses(benchmark::State& state) {
  G4Front front;
  analysis::ocr::funcOCRLoadTiff(front.name.c_str(), 1, 0);
  analysis::ocr::funcOCRFindBoxes();
  const analysis::ocr::BoxTable boxes = analysis::ocr::OCRBoxTable;
  for (auto _ : state) {
    analysis::ocr::OCRBoxTable = boxes;
    analysis::ocr::funcOCRClassifyDigits();
  }
  analysis::ocr::funcOCRFreeImage();
}
BENCHMARK(BM_FrontDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrontBoxes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrontClasses)->Unit(benchmark::kMillisecond);

// 60 blobs of random ink that no structural test takes: the template matcher's worst case.
void BM_AmbiguousBlobs(benchmark::State& state) {
  analysis::ocr::AllocateWorkImage(1700, 100, 64);
  analysis::ocr::OCRWorkImage.xResolution = analysis::ocr::OCRWorkImage.yResolution = 200;
  std::srand(7);
  analysis::ocr::BoxTable boxes;
  for (int i = 0; i < 60; ++i) {
    const int left = 30 + 27 * i;
    for (int y = 40; y < 64; ++y) {
      for (int x = left; x < left + 16; ++x) {
        if (std::rand() % 2 != 0) {
          analysis::ocr::OCRWorkImage.buffer[static_cast<size_t>(y) * analysis::ocr::OCRWorkImage.rowBytes + x / 8] |=
              static_cast<uint8_t>(0x80 >> (x % 8));
        }
      }
    }
    boxes.boxes[static_cast<size_t>(boxes.count++)] = analysis::ocr::OCRCharBox{0, left, 40, left + 15, 63, 0};
  }
  for (auto _ : state) {
    for (int i = 0; i < boxes.count; ++i) {
      analysis::ocr::OCRCharBox b = boxes.boxes[static_cast<size_t>(i)];
      analysis::ocr::funcOCRMatchTemplates(b);
      benchmark::DoNotOptimize(b);
    }
  }
  analysis::ocr::funcOCRFreeImage();
}
BENCHMARK(BM_AmbiguousBlobs)->Unit(benchmark::kMillisecond);

void BM_Cmc7Front(benchmark::State& state) {
  const auto gray = zc::testkit::MakeCodeLineGray(zc::testkit::ChequeSpec{300, 8.5, 3.67, 3},
                                                  "0123456789:;<=> 0123456789", zc::testkit::LineFont::kCmc7);
  const auto record = zc::testkit::GrayRecord(gray, 300);
  char line[80], conf[80];
  for (auto _ : state) {
    benchmark::DoNotOptimize(analysis::optical::funcOcrReadCodeLine(record.data(), record.size(), line, conf, 80));
  }
}
BENCHMARK(BM_Cmc7Front)->Unit(benchmark::kMillisecond);

// The read-rate table on the full corpus; one iteration.
void BM_ReadRates(benchmark::State& state) {
  auto defect = [](void (*set)(zc::testkit::LineDefects&)) {
    zc::testkit::LineDefects d;
    set(d);
    return d;
  };
  const OpticalCondition e13b[] = {
      {"clean200", 200, {}},
      {"clean240", 240, {}},
      {"clean300", 300, {}},
      {"thicker", 200, defect([](auto& d) { d.stroke = 1; })},
      {"thinner", 200, defect([](auto& d) { d.stroke = -1; })},
      {"edgeJitter", 200, defect([](auto& d) { d.jitter = 0.1; })},
      {"thinner300", 300, defect([](auto& d) { d.stroke = -1; })},
      {"edgeJitter300", 300, defect([](auto& d) { d.jitter = 0.1; })},
      {"voids", 200, defect([](auto& d) { d.voids = 30; })},
      {"speckles", 200, defect([](auto& d) { d.speckles = 400; })},
      {"blur", 200, defect([](auto& d) { d.blur = 1; })},
      {"rotated", 200, defect([](auto& d) { d.rotationDegrees = 0.5; })},
      {"lower", 200, defect([](auto& d) { d.offsetRows = 8; })},
      {"merged", 200, defect([](auto& d) { d.mergedAt = 0; })},
      {"missing", 200, defect([](auto& d) { d.missingAt = 0; })},
      {"broken", 200, defect([](auto& d) { d.brokenAt = 0; })},
      {"dollarAndSignature", 200, defect([](auto& d) { d.dollarAndSignature = true; })},
  };
  const OpticalCondition cmc7[] = {
      {"cmc7 clean", 300, {}},
      {"cmc7 blur", 300, defect([](auto& d) { d.blur = 1; })},
      {"cmc7 noise", 300, defect([](auto& d) { d.noiseSigma = 6; })},
      {"cmc7 background", 300, defect([](auto& d) { d.backgroundLevel = 110; })},
      {"cmc7 brokenBar", 300, defect([](auto& d) { d.brokenAt = 0; })},
  };
  for (auto _ : state) {
    for (const auto& c : e13b) {
      std::printf("%s", analysis::ocr::test::FormatRates(c.name, analysis::ocr::test::MeasureE13b(c, 1000, 97)).c_str());
    }
    for (const auto& c : cmc7) {
      std::printf("%s", analysis::ocr::test::FormatRates(c.name, analysis::ocr::test::MeasureCmc7(c, 1000, 99)).c_str());
    }
  }
}
BENCHMARK(BM_ReadRates)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
