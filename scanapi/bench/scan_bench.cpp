// Host time per document through the API: a 200 dpi gray cheque (6 x 2.75 in, front and rear) delivered
// by the scripted fake device library, which hands over ready images, so what is timed is the document
// cycle, cropping, conversion and the file writers (G4 TIFF, or JPEG) of the host side.
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

void BM_ScanG4(benchmark::State& state) {
  Bench& b = TheBench();
  char fs[12], rs[12], line[zarn::kScanCodeLineBuffer], len[12];
  for (auto _ : state) {
    b.control->QueueDocument(b.document);
    if (zarn::ZARNScan(7, "front.tif", fs, "rear.tif", rs, line, len) != 0) state.SkipWithError("scan failed");
  }
  state.counters["front_bytes"] = std::atoi(fs);
}
BENCHMARK(BM_ScanG4)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanGrayJpeg(benchmark::State& state) {
  Bench& b = TheBench();
  char fs[12], rs[12], line[zarn::kScanCodeLineBuffer], len[12];
  for (auto _ : state) {
    b.control->QueueDocument(b.document);
    if (zarn::ZARNScanGray(7, "front.jpg", fs, "rear.jpg", rs, line, len, 4) != 0) state.SkipWithError("scan failed");
  }
  state.counters["front_bytes"] = std::atoi(fs);
}
BENCHMARK(BM_ScanGrayJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
