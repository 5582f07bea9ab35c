// Fuzz entry point of the first series: any bytes as a block reply to both models, as the status words
// of the simulated scanner, and as the line and sample counts of a document the models then fetch and
// assemble.
//
// Layout: byte 0 model (even QV600, odd QV605) and configuration choice, bytes 1-22 the status words,
// bytes 23-24 the document's line count, bytes 25-26 its sample bytes, the rest a block reply.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "device/event_table.h"
#include "driver/device_registry.h"
#include "platform/clock.h"
#include "qv6/qv60x/qv60x_models.h"
#include "sim/catalog.h"
#include "sim/qv60x_device.h"
#include "transport/bulk_layer.h"

namespace {

constexpr const char* kConfigs[] = {"", "FRONT_IMG GrayLevels=16\n", "FRONT_IMG Resolution=100\n",
                                    "FRONT_IMG Color=1\n", "FRONT_IMG GrayLevels=2\nCROP_IMAGE Enable=0\n",
                                    "FRONT_IMG Color=1\nFRONT_IMG Resolution=100\n"};

std::string ConfigFile(int choice) {
  static const std::filesystem::path dir = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::filesystem::path d = std::filesystem::path(tmp != nullptr ? tmp : "/tmp") / "qv60x_fuzz";
    std::filesystem::create_directories(d);
    return d;
  }();
  const std::filesystem::path file = dir / ("scan" + std::to_string(choice) + ".ini");
  if (!std::filesystem::exists(file)) {
    std::FILE* f = std::fopen(file.c_str(), "w");
    if (f != nullptr) {
      std::fprintf(f, "[QV600 CONFIG]\n%s", kConfigs[choice]);
      std::fclose(f);
    }
  }
  return file.string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 27) return 0;
  plat::UseVirtualClock(0, true);
  drv::DeviceRegistry::Instance().Reset();
  qv6::BulkLayer::Reset();
  const bool colour = (data[0] & 1) != 0;
  auto device = std::static_pointer_cast<sim::Qv60xDevice>(sim::AttachScanner(colour ? sim::Model::kQv605 : sim::Model::kQv600));
  qv6::ScannerInterface transport;
  if (!transport.Open()) return 0;
  std::unique_ptr<qv6::ScannerDeviceTemplate> model;
  if (colour) model = std::make_unique<qv6::Qv605>(transport);
  else model = std::make_unique<qv6::Qv600>(transport);
  qv6::EventTable events;
  model->BindEvents(&events);

  // A block reply as any block of either model.
  std::span<const uint8_t> reply(data + 27, size - 27);
  model->ParseDeviceBlock(reply);
  model->StartUp(qv6::ModelStartUp{});
  const std::string config = ConfigFile((data[0] >> 1) % 6);
  if (model->InitDeviceFromFile(config.c_str(), nullptr)) {
    model->SetEventMode(1);
    sim::FirstSeriesDocument document;
    document.lineCount = (data[23] << 8 | data[24]) % 4096;
    document.samples.assign(static_cast<size_t>(data[25] << 8 | data[26]), 0x42);
    for (auto& side : document.lines) side.assign(static_cast<size_t>(document.lineCount) * sim::Qv60xDevice::kPixels, 0x80);
    device->QueueDocument(std::move(document));
    model->EnableScan(1);
    for (int w = 0; w < 11; ++w) device->SetStatusWord(w, static_cast<uint16_t>(data[1 + 2 * w] << 8 | data[2 + 2 * w]));
    model->LinkCheck();
    model->PollStatus();
    int status = 0, errors = 0;
    model->GetStatus(&status, &errors);
    model->GetFrontImageDIBPtr();
    model->GetMicrCodelinePtr();
  }
  model.reset();
  transport.Close();
  drv::DeviceRegistry::Instance().Reset();
  plat::UseRealClock();
  return 0;
}
