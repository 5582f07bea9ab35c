// Parameter reads, a full API INI read and write, and API log lines with the file switched on.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/paths.h"
#include "testkit/support/scratch_dir.h"
#include "zarn/api_state.h"
#include "zarn/ini_config.h"
#include "zarn/params.h"
#include "zarn/trace.h"

namespace {

void Fresh(const zc::testkit::ScratchDir& dir) {
  // The generated device files are named relative to the current folder.
  if (::chdir(dir.Path().c_str()) != 0) std::abort();
  plat::SetFolder(plat::Folder::kWindows, dir.Path());
  plat::SetFolder(plat::Folder::kTemp, dir.Path());
  zarn::ResetParamsForTests();
  zarn::ResetApiState();
  zarn::ResetTraceForTests();
  zarn::SetApiTraceLevel(0);
  zarn::Api().scannerFamily = zarn::kFamilyQv600;
}

// One million reads spread over the whole table, per iteration.
void BM_GetParamMillion(benchmark::State& state) {
  zc::testkit::ScratchDir dir("zarnbench");
  Fresh(dir);
  const auto table = zarn::ZarnParamTable();
  for (auto _ : state) {
    long long sum = 0;
    for (int i = 0; i < 1000000; ++i) sum += zarn::ZARNGetParam(static_cast<int>(table[static_cast<size_t>(i) % zarn::kParamRecords].id));
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_GetParamMillion)->Unit(benchmark::kMillisecond);

void BM_IniRead(benchmark::State& state) {
  zc::testkit::ScratchDir dir("zarnbench");
  Fresh(dir);
  zarn::funcQV800WriteIniFile("zarnscan.ini");
  for (auto _ : state) benchmark::DoNotOptimize(zarn::funcQV800GetIniFile("zarnscan.ini", nullptr, nullptr));
}
BENCHMARK(BM_IniRead)->Unit(benchmark::kMillisecond);

// On the QV800 line every changed value also goes to the device configuration file.
void BM_IniReadQv800(benchmark::State& state) {
  zc::testkit::ScratchDir dir("zarnbench");
  Fresh(dir);
  zarn::funcQV800WriteIniFile("zarnscan.ini");
  zarn::Api().scannerFamily = zarn::kFamilyQv800;
  for (auto _ : state) {
    state.PauseTiming();
    zarn::ResetParamsForTests();
    state.ResumeTiming();
    benchmark::DoNotOptimize(zarn::funcQV800GetIniFile("zarnscan.ini", nullptr, nullptr));
  }
}
BENCHMARK(BM_IniReadQv800)->Unit(benchmark::kMillisecond);

void BM_IniWrite(benchmark::State& state) {
  zc::testkit::ScratchDir dir("zarnbench");
  Fresh(dir);
  for (auto _ : state) benchmark::DoNotOptimize(zarn::funcQV800WriteIniFile("zarnscan.ini"));
}
BENCHMARK(BM_IniWrite)->Unit(benchmark::kMillisecond);

void BM_TraceLineToFile(benchmark::State& state) {
  zc::testkit::ScratchDir dir("zarnbench");
  Fresh(dir);
  zarn::SetApiLogToFile(1);
  const std::string text = "ZARNSetParam(110,80) and some detail of a typical trace line";
  for (auto _ : state) zarn::funcLogMessage(text.c_str());
  state.SetItemsProcessed(state.iterations());
  zarn::funcWriteApiLog("EXIT");
}
BENCHMARK(BM_TraceLineToFile);

}  // namespace
