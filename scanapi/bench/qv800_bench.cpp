// The API's processor time per document through the QV800 line: ZARNScanMemoryGray at 200 dpi, 8 bits,
// front and rear, from the stand-in device library (no JPEG coding: the images stay in memory as records).
// The stand-in renders every document, so each iteration also transfers a document through the library
// alone and the API's share is the difference within that iteration.
#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
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

int64_t ProcessCpuNanos() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

// Each iteration scans one document through the API and transfers one more through the library's own
// entry point with the device configuration the API left, and takes the API's share as the difference of
// the two processor times of that iteration. Both calls' results are checked.
void BM_ApiShareScanMemoryGray(benchmark::State& state) {
  Bench& b = TheBench();
  int32_t fs = 0, rs = 0, len = 0;
  char line[zarn::kScanCodeLineBuffer];
  char deviceLine[70];
  b.sim->AddCheques(1);
  if (zarn::ZARNScanMemoryGray(7, b.front, &fs, b.rear, &rs, line, &len, 3) != 0) {
    state.SkipWithError("scan failed");
    return;
  }
  zarn::qv8::QVOpenScan();
  int64_t apiNanos = 0, deviceNanos = 0, n = 0;
  for (auto _ : state) {
    b.sim->AddCheques(2);
    const int64_t t0 = ProcessCpuNanos();
    const int api = zarn::ZARNScanMemoryGray(7, b.front, &fs, b.rear, &rs, line, &len, 3);
    const int64_t t1 = ProcessCpuNanos();
    const int device =
        zarn::qv8::QVScanDocToMem(b.front.data(), b.rear.data(), zarn::kQv8MemoryBufferSize, deviceLine, 70, 0);
    const int64_t t2 = ProcessCpuNanos();
    if (api != 0 || fs <= 0 || rs <= 0 || len <= 0 || device != 0) {
      state.SkipWithError("scan or transfer failed");
      break;
    }
    apiNanos += t1 - t0;
    deviceNanos += t2 - t1;
    ++n;
    state.SetIterationTime(static_cast<double>((t1 - t0) - (t2 - t1)) / 1e9);
  }
  const double docs = static_cast<double>(std::max<int64_t>(n, 1));
  state.counters["api_scan_ms"] = static_cast<double>(apiNanos) / 1e6 / docs;
  state.counters["device_transfer_ms"] = static_cast<double>(deviceNanos) / 1e6 / docs;
  state.counters["front_bytes"] = fs;
}
BENCHMARK(BM_ApiShareScanMemoryGray)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
