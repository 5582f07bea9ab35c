// Fuzz entry for a later-series scan cycle fed by the scanner: one document whose status record, magnetic
// samples and raw image lines all come from the input, through the QV630, the QV603 (mirrored sides),
// the QV640 (whole sensor lines, 300 dpi) and the KQv8 (eight-bit samples, whole-width window).
//
// Layout (16-bit values big-endian): byte 0 the model; byte 1 the scan configuration; 2 the document
// width; 4 its lines; 6 the front's and 8 the rear's first line; 10 the sample count the record reports;
// 12 further document-word bits; 14 the sample bytes the scanner sends (count x 2, count, fewer or more,
// by bits 0-1) and 15 the raw image bytes it sends per transfer (times 64; 0: what was asked for); the
// rest is repeated as the samples' and the lines' bytes. The events must arrive, every buffer handed over
// must be as long as stated, and no size from the scanner may lead outside the host's buffers.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/event_table.h"
#include "driver/device_registry.h"
#include "platform/clock.h"
#include "platform/ini.h"
#include "qv6/kqv8x/kqv8_model.h"
#include "qv6/qv63x/qv63x_models.h"
#include "qv6/qv64x/qv640_model.h"
#include "sim/catalog.h"
#include "sim/documents/transfer_block.h"
#include "sim/qv63x_device.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"

namespace {

constexpr size_t kHeaderBytes = 16;

int Word(const uint8_t* p) {
  return (p[0] << 8) | p[1];
}

constexpr const char* kConfigs[] = {
    "",
    "FRONT_IMG Resolution=100\r\n",
    "FRONT_IMG Color=1\r\n",
    "FRONT_IMG Color=2\r\n",
    "FRONT_IMG Color=1\r\nFRONT_IMG Resolution=100\r\n",
    "CROP_IMAGE Enable=0\r\nFRONT_IMG GrayLevels=16\r\n",
};

// The configuration files, written once into a scratch folder removed at exit.
const std::string& ScratchFolder() {
  static const std::string* folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    auto* path = new std::string(std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                                 "/scan_cycle_fuzz.XXXXXX");
    if (mkdtemp(path->data()) == nullptr) std::abort();
    for (size_t i = 0; i < std::size(kConfigs); ++i) {
      std::FILE* f = std::fopen((*path + "/scan" + std::to_string(i) + ".ini").c_str(), "wb");
      if (f == nullptr) std::abort();
      std::fprintf(f, "[QV600 CONFIG]\r\n%s", kConfigs[i]);
      std::fclose(f);
    }
    return path;
  }();
  return *folder;
}

void RemoveScratchFolder() {
  for (size_t i = 0; i < std::size(kConfigs); ++i)
    std::remove((ScratchFolder() + "/scan" + std::to_string(i) + ".ini").c_str());
  rmdir(ScratchFolder().c_str());
}

std::vector<uint8_t> Repeated(std::span<const uint8_t> bytes, size_t n) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n && !bytes.empty(); ++i) out[i] = bytes[i % bytes.size()];
  return out;
}

class InputSource : public sim::Qv63xDocumentSource {
 public:
  InputSource(const uint8_t* header, std::span<const uint8_t> bytes) : h_(header), bytes_(bytes) {}

  std::optional<sim::FedDocument> Feed(uint8_t, std::span<const uint8_t>) override {
    if (fed_) return std::nullopt;
    fed_ = true;
    sim::FedDocument d;
    d.record.word = static_cast<uint16_t>(sim::kDocFrontReady | sim::kDocRearReady | sim::kDocSamplesReady |
                                          Word(h_ + 12));
    d.record.width = static_cast<uint16_t>(Word(h_ + 2));
    d.record.lines = static_cast<uint16_t>(Word(h_ + 4));
    d.record.firstFront = static_cast<uint16_t>(Word(h_ + 6));
    d.record.firstRear = static_cast<uint16_t>(Word(h_ + 8));
    d.record.samples = static_cast<uint16_t>(Word(h_ + 10));
    return d;
  }
  std::vector<uint8_t> Samples(uint8_t) override {
    const size_t count = static_cast<size_t>(Word(h_ + 10));
    static constexpr size_t kShare[] = {4, 2, 1, 6};  // quarters of the count: x 2, x 1, / 2, x 3
    return Repeated(bytes_, count * kShare[h_[14] & 3] / 2);
  }
  std::vector<uint8_t> Image(std::span<const uint8_t> transfer) override {
    // What the transfer asks for, unless the input says otherwise.
    size_t asked = 0;
    if (const auto block = sim::documents::ParseTransferBlock(transfer)) {
      asked = static_cast<size_t>(std::max(0, block->request.Lines())) *
              static_cast<size_t>(std::max(0, block->request.Pixels()));
    }
    return Repeated(bytes_, h_[15] != 0 ? size_t{h_[15]} * 64 : std::min(asked, size_t{4} << 20));
  }

 private:
  const uint8_t* h_;
  std::span<const uint8_t> bytes_;
  bool fed_ = false;
};

struct Delivered {
  int events = 0;
};
Delivered gDelivered;

void OnEvent(int event, intptr_t value) {
  ++gDelivered.events;
  if (event == 6 && value != 0) {
    // The samples handed over are read in full, so a record longer than its buffer is caught.
    const auto* s = reinterpret_cast<const QV6MicrSamples*>(value);
    const auto* p = reinterpret_cast<const uint8_t*>(s->samples);
    unsigned sum = 0;
    for (int i = 0; i < s->byteCount; ++i) sum += p[i];
    if (sum == 0xFFFFFFFFu) __builtin_trap();
  }
  if (event == 3 && value != 0 && std::strlen(reinterpret_cast<const char*>(value)) > 64) __builtin_trap();
}

template <class Model>
void Scan(qv6::DriverDeviceInterface& transport, const std::string& config) {
  Model model(transport);
  qv6::EventTable events;
  for (int e = 2; e <= 6; ++e) events.Set(e, &OnEvent, nullptr);
  events.SetDelivery(1, 0, 0);
  model.BindEvents(&events);
  model.SetEventMode(1);
  if (model.InitDeviceFromFile(config.c_str(), nullptr) != 1) return;
  model.EnableScan(1);
  model.PollStatus();
  model.PollStatus();
  (void)model.GetMicrCodelinePtr();
  (void)model.GetFrontImageDIBPtr();
  (void)model.GetRearImageDIBPtr();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool cleanup = std::atexit(RemoveScratchFolder) == 0;
  (void)cleanup;
  if (size < kHeaderBytes) return 0;
  static constexpr sim::Model kModels[] = {sim::Model::kQv630, sim::Model::kKwl603, sim::Model::kQv640,
                                           sim::Model::kKQv8};
  const size_t which = data[0] % std::size(kModels);
  const std::string config =
      ScratchFolder() + "/scan" + std::to_string(data[1] % std::size(kConfigs)) + ".ini";

  plat::UseVirtualClock(0, true);
  drv::DeviceRegistry::Instance().Reset();
  qv6::DriverLayer::Reset();
  auto device = std::static_pointer_cast<sim::Qv63xDevice>(sim::AttachScanner(kModels[which]));
  device->SetDocumentSource(std::make_shared<InputSource>(
      data, std::span<const uint8_t>(data + kHeaderBytes, size - kHeaderBytes)));
  {
    qv6::ScannerQV63xInterface transport;
    if (transport.Open()) {
      switch (which) {
        case 0:
          Scan<qv6::Qv630>(transport, config);
          break;
        case 1:
          Scan<qv6::Qv603>(transport, config);
          break;
        case 2:
          Scan<qv6::Qv640>(transport, config);
          break;
        default:
          Scan<qv6::KQv8>(transport, config);
          break;
      }
      transport.Close();
    }
  }
  drv::DeviceRegistry::Instance().Reset();
  plat::UseRealClock();
  return 0;
}
