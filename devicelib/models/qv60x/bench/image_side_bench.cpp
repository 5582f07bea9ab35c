// Host time per image side of the first series, from the image command to the held DIB (read, assembly,
// line doubling, intensity drop and cropping), against the simulated scanner feeding 6-inch synthetic
// cheques from its document feeder, with the time it spends making raw lines left out: QV600 256 levels
// and QV605 colour, both at 200 dpi.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "device/event_table.h"
#include "driver/device_registry.h"
#include "platform/clock.h"
#include "qv6/qv60x/qv60x_models.h"
#include "sim/catalog.h"
#include "sim/documents/document_stack.h"
#include "sim/qv60x_device.h"
#include "sim/qv60x_feed_format.h"
#include "transport/bulk_layer.h"

namespace {

constexpr int kCheques = 4096;  // more than a run feeds; each is made only when it is fed

template <class Model>
void SidePerDocument(benchmark::State& state, sim::Model which, const char* config) {
  plat::UseVirtualClock(0, true);  // the transport's pauses are not host work
  drv::DeviceRegistry::Instance().Reset();
  qv6::BulkLayer::Reset();
  auto device = std::static_pointer_cast<sim::Qv60xDevice>(sim::AttachScanner(which));
  sim::documents::ChequeOptions cheques;
  cheques.colour = which == sim::Model::kQv605;
  sim::documents::DocumentStack stack(5, cheques);
  stack.AddCheques(kCheques);
  device->SetDocumentSource(std::make_shared<sim::Qv60xDocumentFeeder>(
      std::move(stack), sim::Qv60xLayout{which == sim::Model::kQv605}));
  qv6::ScannerInterface transport;
  transport.Open();
  Model model(transport);
  qv6::EventTable events;
  model.BindEvents(&events);
  model.StartUp(qv6::ModelStartUp{});
  const auto dir = std::filesystem::temp_directory_path() / "qv60x_bench";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "scan.ini").string();
  if (std::FILE* f = std::fopen(file.c_str(), "w")) {
    std::fprintf(f, "[QV600 CONFIG]\nMICR Enable=0\n%s", config);
    std::fclose(f);
  }
  model.InitDeviceFromFile(file.c_str(), nullptr);
  model.SetEventMode(1);
  for (auto _ : state) {
    model.EnableScan(1);
    model.ReadStatus();  // the scanner draws the next cheque in
    const auto simBefore = device->rawLineTime();
    const auto started = std::chrono::steady_clock::now();
    model.GetImages();
    const auto elapsed = std::chrono::steady_clock::now() - started - (device->rawLineTime() - simBefore);
    if (model.GetImageBuffer(0) == nullptr || model.GetImageBuffer(1) == nullptr) {
      state.SkipWithError("a side was not built");
      break;
    }
    // Two sides a document: the time of one.
    state.SetIterationTime(std::chrono::duration<double>(elapsed).count() / 2);
  }
  transport.Close();
  drv::DeviceRegistry::Instance().Reset();
  plat::UseRealClock();
}

void Qv600Grey200(benchmark::State& state) {
  SidePerDocument<qv6::Qv600>(state, sim::Model::kQv600, "");
}
void Qv605Colour200(benchmark::State& state) {
  SidePerDocument<qv6::Qv605>(state, sim::Model::kQv605, "FRONT_IMG Color=1\n");
}

BENCHMARK(Qv600Grey200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Qv605Colour200)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
