// The demonstration's own work per document: one scan step of the panel (the API call, the two image
// windows loading and painting the files, the caption and the code-line log) with 200 dpi gray cheques
// that the scripted fake device library hands over at once, in the headless window layer.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "demo/lumivex.h"
#include "fake_qv6/fake_qv6_loader.h"
#include "platform/dynlib.h"
#include "platform/paths.h"
#include "testkit/cheque/cheque_image.h"
#include "testkit/support/scratch_dir.h"
#include "ui/headless_backend.h"
#include "ui/window_system.h"
#include "zarn/params.h"
#include "zarn/qv600.h"

namespace {

std::vector<uint8_t> ChequeDib(uint32_t seed) {
  return zc::testkit::packedGrayDib(zc::testkit::makeChequeGray({.dpi = 200, .seed = seed}));
}

// Runs the program with the fake library and times scan steps once its windows are up.
void RunSteps(benchmark::State& state, int imageTypeControl) {
  zc::testkit::ScratchDir dir("demobench");
  if (::chdir(dir.Path().c_str()) != 0) std::abort();
  for (auto f : {plat::Folder::kWindows, plat::Folder::kSystem, plat::Folder::kTemp}) plat::SetFolder(f, dir.Path());
  plat::ModuleHandle module = nullptr;
  zarn::fake::FakeQv6Control* control = zarn::fake::LoadFakeControl(ZC_FAKE_DEVICE_LIBRARY, &module);
  if (control == nullptr) std::abort();
  control->Reset();
  const char* identity[] = {"VEK Corporation", "Orvisca Scanner Qv630", "", "1.00", "AB12100001", "1", "1", "OK"};
  std::vector<uint8_t> block;
  for (const char* t : identity) block.insert(block.end(), t, t + std::strlen(t) + 1);
  control->SetIdentity(block);
  zarn::SetQv6LibraryFile(ZC_FAKE_DEVICE_LIBRARY);
  zarn::funcTableSetParamString(159, "KWL");

  zarn::fake::FakeDocument document;
  document.codeLine = "T123456789T 1234567890U 0100";
  document.frontDib = ChequeDib(1);
  document.rearDib = ChequeDib(2);
  document.statusWords = {{zarn::kStConnected | zarn::kStFrontReady | zarn::kStRearReady, 0}};

  auto backend = std::make_unique<ui::HeadlessBackend>(ui::DisplayInfo{1280, 1024});
  ui::WindowSystem ws(std::move(backend));
  ws.SetProfileFile(dir.Path() + "/win.ini");
  demo::DemoObserver observer;
  observer.started = [&] {
    ui::HWND panel = demo::Windows().panel;
    ws.SendMessage(panel, ui::WM_COMMAND, static_cast<uintptr_t>(imageTypeControl));
    demo::Panel().firstDocument = 1;
    for (auto _ : state) {
      control->QueueDocument(document);
      if (demo::funcScanDocument(panel) != 0) state.SkipWithError("scan step failed");
      ws.UpdateWindow(demo::Windows().frame);
      ws.UpdateWindow(demo::Windows().front);
      ws.UpdateWindow(demo::Windows().rear);
    }
    ws.PostMessage(panel, ui::WM_COMMAND, demo::IDC_EXIT);
  };
  demo::SetDemoObserver(observer);
  demo::WinMain(demo::DemoResources(), nullptr, "", ui::SW_SHOW);
  demo::SetDemoObserver({});
  demo::ResetDemoForTests();
  zarn::UnloadQv6Library();
  control->Reset();
  plat::FreeLibrary(module);
}

void BM_DemoStepBw(benchmark::State& state) { RunSteps(state, demo::IDC_BW); }
BENCHMARK(BM_DemoStepBw)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100);

void BM_DemoStepGray(benchmark::State& state) { RunSteps(state, demo::IDC_GRAY); }
BENCHMARK(BM_DemoStepGray)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100);

}  // namespace
