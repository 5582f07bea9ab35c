// The verified scan's contrast sweep on a gray 300-dpi business front (2550 x 1100) with its code line:
// edge conversion, optical reading, image-quality grading and scoring per try, the best one written as
// TIFF G4. The scan itself is left out: the front is copied in as the scanner would deliver it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "analysis/api_binding.h"
#include "analysis/vekscan/vekscan.h"
#include "imaging/image_record.h"
#include "testkit/cheque/codeline_cheque.h"
#include "testkit/support/scratch_dir.h"
#include "zarn/api_state.h"
#include "zarn/params.h"
#include "zarn/trace.h"

namespace {

using analysis::vekscan::ScanCalls;
using analysis::vekscan::Scaling;
using analysis::vekscan::VEKScanEndorsement;

constexpr char kLine[] = "T111000025T 1234567U 0100";

// The program's calls, with the scan, the parameters and the reports answered here.
class SweepCalls : public ScanCalls {
 public:
  explicit SweepCalls(std::vector<uint8_t> front) : front_(std::move(front)) {}
  std::map<int, int32_t> params;
  int conversions = 0;

  int32_t GetParam(int id) override { return params.count(id) ? params[id] : 0; }
  int SetParam(int id, int32_t value) override {
    params[id] = value;
    return 0;
  }
  int TraceLevel() override { return 0; }
  void Log(const std::string&) override {}
  bool bKRDecodeKept() override { return true; }
  int ScanMemoryGray(std::span<uint8_t> front, std::span<uint8_t> rear, char* line) override {
    std::memcpy(front.data(), front_.data(), front_.size());
    std::memcpy(rear.data(), front_.data(), front_.size());
    std::strcpy(line, kLine);
    return 0;
  }
  int ConvGrayImageEdgeDetectBW(std::span<const uint8_t> s, const char* n, int c, unsigned m,
                                std::span<uint8_t> o) override {
    ++conversions;
    return real().ConvGrayImageEdgeDetectBW(s, n, c, m, o);
  }
  int EdgeDetectBW(std::span<const uint8_t> s, const char* n, int c, unsigned m) override {
    return real().EdgeDetectBW(s, n, c, m);
  }
  int ConvGrayToBW(std::span<uint8_t> s, int t, std::span<uint8_t> o) override { return real().ConvGrayToBW(s, t, o); }
  int ConvImageToFile(std::span<const uint8_t> s, int t, const char* n) override {
    return real().ConvImageToFile(s, t, n);
  }
  int ConvGrayArea(std::span<const uint8_t> s, const char* n, unsigned m) override {
    return real().ConvGrayArea(s, n, m);
  }
  int GetHistogram(std::span<const uint8_t> s, std::array<uint32_t, 16>& b) override {
    return real().GetHistogram(s, b);
  }
  int Scale(Scaling k, std::span<const uint8_t> s, std::span<uint8_t> d) override { return real().Scale(k, s, d); }
  int VirtualEndorsement(std::span<uint8_t> r, const char* t, const VEKScanEndorsement& e) override {
    return real().VirtualEndorsement(r, t, e);
  }
  int CompressImage(const char* n, std::span<const uint8_t> r) override { return real().CompressImage(n, r); }
  int CompressImageGray(const char* n, std::span<const uint8_t> r, int f) override {
    return real().CompressImageGray(n, r, f);
  }
  int OcrRawImage(std::span<const uint8_t> r, char* l, char* c) override { return real().OcrRawImage(r, l, c); }
  int OcrRawImageRotated(std::span<const uint8_t> r, char* l, char* c) override {
    return real().OcrRawImageRotated(r, l, c);
  }
  int OcrTiffImage(const char* n, char* l, char* c) override { return real().OcrTiffImage(n, l, c); }
  int Cmc7ReadCodeLine(std::span<const uint8_t> r, char* l, char* c) override {
    return real().Cmc7ReadCodeLine(r, l, c);
  }
  int Cmc7Combine(const char* m, const char* o, const char* c, char* out) override {
    return real().Cmc7Combine(m, o, c, out);
  }
  int CombineMICR(const char* m, const char* o, const char* c, char* out, int e) override {
    return real().CombineMICR(m, o, c, out, e);
  }
  int ChooseMICRPass(const char* f, const char* s, char* out) override { return real().ChooseMICRPass(f, s, out); }
  int VerifyMICRQuality(const char* l, const char* o, const char* c) override {
    return real().VerifyMICRQuality(l, o, c);
  }
  int IQAStatusMem(std::span<uint8_t> r, int u, const analysis::iqa::IqaTestArgs& a, int32_t* res) override {
    return real().IQAStatusMem(r, u, a, res);
  }
  int IQAStatusEx(const char* n, int u, const analysis::iqa::IqaTestArgs& a, int32_t* res) override {
    return real().IQAStatusEx(n, u, a, res);
  }
  int FerloReportError(int, const char*) override { return 0; }
  int FerloReportDocument(const int32_t*, int, int, const char*, const char*, const char*, const char*) override {
    return 0;
  }

 private:
  static ScanCalls& real() { return analysis::VerifiedScanCalls(); }
  std::vector<uint8_t> front_;
};

std::vector<uint8_t> Front() {
  zc::testkit::ChequeSpec spec;
  spec.dpi = 300;
  spec.widthInches = 8.5;
  spec.heightInches = 1100.0 / 300.0;
  return zc::testkit::GrayRecord(zc::testkit::MakeCodeLineGray(spec, kLine, zc::testkit::LineFont::kE13b), 300);
}

void Sweep(benchmark::State& state, int start, int end, int step) {
  zc::testkit::ScratchDir dir("vekscan_bench");
  zarn::Api().qv8TmpFile = dir.File("QV8CFG.TMP");
  zarn::SetScannerTypeCode(200);
  zarn::funcTableSetParam(6, 4);  // the conversions take 300-dpi sizes
  SweepCalls calls(Front());
  calls.params = {{2, 1}, {6, 4}, {146, 8395493}, {147, start}, {148, end}, {149, step}, {150, 300},
                  {151, 1200}, {152, 5}, {153, 60}, {154, 0}, {155, 85}, {156, 1}, {192, 0}};
  // A density limit no rendering meets: no try scores 0, so every contrast is tried and the best run again.
  const std::string name = dir.File("front.tif");
  char line[100];
  int32_t status = 0, contrast = 0;
  zarn::VEKScanRequest q;
  q.frontBwTiff = name.c_str();
  q.codeLine = line;
  q.codeLineSize = sizeof line;
  q.iqaStatus = &status;
  q.contrast = &contrast;
  int result = 0;
  for (auto _ : state) {
    calls.conversions = 0;
    result = analysis::vekscan::VEKScan(calls, q);
    benchmark::DoNotOptimize(result);
  }
  state.counters["result"] = result;
  state.counters["conversions"] = calls.conversions;
  state.counters["status"] = status;
  analysis::vekscan::VEKScanReleaseMemory();
  zarn::SetScannerTypeCode(-1);
  zarn::ResetApiState();
}

void BM_SweepDefaults(benchmark::State& state) { Sweep(state, 0, 0, 0); }
void BM_Sweep200To1000By50(benchmark::State& state) { Sweep(state, 200, 1000, 50); }

BENCHMARK(BM_SweepDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sweep200To1000By50)->Unit(benchmark::kMillisecond);

}  // namespace

