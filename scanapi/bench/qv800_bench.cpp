// Host time per document through the QV800 line: ZARNScanMemoryGray at 200 dpi, 8 bits, front and rear, from
// the stand-in device library (no JPEG coding: the images stay in memory as records). The stand-in renders
// every document; BM_DeviceTransferOnly times that rendering alone through the library's own entry point,
// so the API's share is the difference of the two.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/dynlib.h"
#include "platform/paths.h"
#include "qv8_standin/qv8_standin_control.h"
#include "testkit/support/scratch_dir.h"
#include "zarn/api_state.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/qv800.h"
#include "zarn/scan.h"
#include "zarn/trace.h"

namespace {

struct Bench {
  zc::testkit::ScratchDir dir{"qv800bench"};
  plat::ModuleHandle module = nullptr;
  zarn::qv8sim::Qv8SimControl* sim = nullptr;
  std::vector<uint8_t> front = std::vector<uint8_t>(zarn::kQv8MemoryBufferSize);
  std::vector<uint8_t> rear = std::vector<uint8_t>(zarn::kQv8MemoryBufferSize);

  Bench() {
    if (::chdir(dir.Path().c_str()) != 0) std::abort();
    const std::string dlls = std::string(ZC_QV8_DIR) + "/qv8_full";
    for (auto f : {plat::Folder::kWindows, plat::Folder::kTemp}) plat::SetFolder(f, dir.Path());
    plat::SetFolder(plat::Folder::kSystem, dlls);
    plat::SetDriveRoot(dir.Path());
    module = plat::LoadLibraryA((dlls + "/QV8DLL.DLL").c_str());
    auto get = reinterpret_cast<zarn::qv8sim::Qv8SimControl* (*)()>(plat::GetProcAddress(module, "QV8SimGetControl"));
    if (get == nullptr) std::abort();
    sim = get();
    sim->Reset();
    plat::UseVirtualClock(0, true);
    zarn::funcTableSetParamString(135, "NOINI");
    zarn::funcTableSetParamString(136, dir.Path().c_str());
    zarn::funcTableSetParamString(137, dlls.c_str());
    zarn::funcTableSetParamString(158, "400");
    if (zarn::ZARNInit() != 1) std::abort();
    zarn::SetApiTraceLevel(0);
  }
  ~Bench() {
    zarn::ZARNExit();
    plat::FreeLibrary(module);
    plat::UseRealClock();
  }
};

Bench& TheBench() {
  static Bench bench;
  return bench;
}

void BM_ScanMemoryGray(benchmark::State& state) {
  Bench& b = TheBench();
  int32_t fs = 0, rs = 0, len = 0;
  char line[zarn::kScanCodeLineBuffer];
  for (auto _ : state) {
    b.sim->AddCheques(1);
    if (zarn::ZARNScanMemoryGray(7, b.front, &fs, b.rear, &rs, line, &len, 3) != 0) state.SkipWithError("scan failed");
  }
  state.counters["front_bytes"] = fs;
}
BENCHMARK(BM_ScanMemoryGray)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DeviceTransferOnly(benchmark::State& state) {
  Bench& b = TheBench();
  // The same device configuration the scans above left, straight through the library.
  char line[70];
  zarn::qv8::QVOpenScan();
  for (auto _ : state) {
    b.sim->AddCheques(1);
    if (zarn::qv8::QVScanDocToMem(b.front.data(), b.rear.data(), zarn::kQv8MemoryBufferSize, line, 70, 0) != 0) {
      state.SkipWithError("transfer failed");
    }
  }
}
BENCHMARK(BM_DeviceTransferOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
