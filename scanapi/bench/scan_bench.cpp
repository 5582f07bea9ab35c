// Host processor time per document through the API: a 200 dpi gray cheque (6 x 2.75 in, front and rear)
// delivered by the scripted fake device library, which hands over ready images, so what is timed is the
// document cycle, cropping, conversion and the file writers (G4 TIFF, or JPEG) of the host side. The
// figure to read is the CPU column: the wall time also holds the fake library's and the API's sleeps.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fake_qv6/fake_qv6_loader.h"
#include "platform/dynlib.h"
#include "platform/paths.h"
#include "testkit/cheque/cheque_image.h"
#include "testkit/support/scratch_dir.h"
#include "zarn/api_state.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/scan.h"
#include "zarn/trace.h"

namespace {

std::vector<uint8_t> ChequeDib(uint32_t seed) {
  return zc::testkit::packedGrayDib(zc::testkit::makeChequeGray({.dpi = 200, .seed = seed}));
}

struct Bench {
  zc::testkit::ScratchDir dir{"scanbench"};
  plat::ModuleHandle module = nullptr;
  zarn::fake::FakeQv6Control* control = nullptr;
  zarn::fake::FakeDocument document;

  Bench() {
    if (::chdir(dir.Path().c_str()) != 0) std::abort();
    for (auto f : {plat::Folder::kWindows, plat::Folder::kSystem, plat::Folder::kTemp}) plat::SetFolder(f, dir.Path());
    plat::SetDriveRoot(dir.Path());
    control = zarn::fake::LoadFakeControl(ZC_FAKE_DEVICE_LIBRARY, &module);
    if (control == nullptr) std::abort();
    control->Reset();
    const char* identity[] = {"VEK Corporation", "Orvisca Scanner Qv630", "", "1.00", "AB12100001", "1", "1", "OK"};
    std::vector<uint8_t> block;
    for (const char* t : identity) block.insert(block.end(), t, t + std::strlen(t) + 1);
    control->SetIdentity(block);
    zarn::SetQv6LibraryFile(ZC_FAKE_DEVICE_LIBRARY);
    zarn::funcTableSetParamString(135, "NOINI");
    zarn::funcTableSetParamString(158, "200");
    zarn::funcTableSetParamString(159, "KWL");
    if (zarn::ZARNInit() != 1) std::abort();
    zarn::SetApiTraceLevel(0);
    zarn::funcTableSetParam(109, 2000);
    document.codeLine = "T123456789T 1234567890U 0100";
    document.frontDib = ChequeDib(1);
    document.rearDib = ChequeDib(2);
    document.statusWords = {{zarn::kStConnected | zarn::kStFrontReady | zarn::kStRearReady, 0}};
  }
  ~Bench() {
    zarn::ZARNExit();
    zarn::UnloadQv6Library();
    control->Reset();
    plat::FreeLibrary(module);
  }
};

Bench& TheBench() {
  static Bench bench;
  return bench;
}

// One scan of the queued document; false when the call fails or writes no image or code line.
struct ScanResult {
  std::string frontSize, rearSize, codeLine;
  bool operator==(const ScanResult&) const = default;
};
bool Scan(Bench& b, bool gray, ScanResult* out) {
  char fs[12] = {}, rs[12] = {}, line[zarn::kScanCodeLineBuffer] = {}, len[12] = {};
  b.control->QueueDocument(b.document);
  const int rc = gray ? zarn::ZARNScanGray(7, "front.jpg", fs, "rear.jpg", rs, line, len, 4)
                      : zarn::ZARNScan(7, "front.tif", fs, "rear.tif", rs, line, len);
  *out = {fs, rs, line};
  return rc == 0 && std::atoi(fs) > 0 && std::atoi(rs) > 0 && std::atoi(len) > 0;
}

// The process's processor time: the fake library's status poll and the API's wait loop sleep, which is
// no work of the host's. Every scan must give the first one's files and code line.
void TimeScans(benchmark::State& state, bool gray) {
  Bench& b = TheBench();
  ScanResult first, each;
  if (!Scan(b, gray, &first)) {
    state.SkipWithError("scan failed");
    return;
  }
  for (auto _ : state) {
    if (!Scan(b, gray, &each) || !(each == first)) {
      state.SkipWithError("scan failed or gave other files");
      break;
    }
  }
  state.counters["front_bytes"] = std::atoi(first.frontSize.c_str());
}

void BM_ScanG4(benchmark::State& state) { TimeScans(state, false); }
BENCHMARK(BM_ScanG4)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_ScanGrayJpeg(benchmark::State& state) { TimeScans(state, true); }
BENCHMARK(BM_ScanGrayJpeg)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
