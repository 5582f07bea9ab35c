// Fuzz entry for the print buffers behind QV6SetBmpToPrint and QV6StringToPrint: a caller's bitmap or
// text through the first series (print block to the scanner), the QV62x (nozzle columns uploaded) and the
// later series (the host print buffer, plain and with mirrored sides).
//
// Layout: byte 0 the series (0 first, 1 QV62x, 2 later, 3 later with mirrored sides); byte 1 the flags;
// bytes 2-3 the position (signed, little-endian); bytes 4-5 the width (little-endian); byte 6 the row
// count (signed); byte 7 the call (0 bitmap, 1 text, 2 bitmap without bits); the rest is the bitmap,
// repeated to fill exactly the rows and widths it describes, or the text. Every buffer is an exact-size
// heap block, so a read or write past one is caught.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "driver/device_registry.h"
#include "driver/sim_device.h"
#include "platform/clock.h"
#include "qv6/qv60x/qv60x_models.h"
#include "qv6/qv62x/qv62x_models.h"
#include "qv6/qv63x/qv63x_models.h"
#include "sim/catalog.h"
#include "transport/bulk_layer.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"

namespace {

// A QV62x that takes every request and answers reads with zeros.
class AcceptingDevice : public drv::SimDevice {
 public:
  drv::Reply Control(uint32_t, std::span<const uint8_t>, std::span<uint8_t> out) override {
    return drv::Reply::Done(out.size());
  }
};

struct Call {
  const void* bits = nullptr;
  int width = 0;
  int rows = 0;
  const char* text = nullptr;
  int length = 0;
  int position = 0;
  int flags = 0;
};

template <class Model>
void Print(Model& model, const Call& c) {
  if (c.text != nullptr) {
    model.StringToPrint(c.text, c.length, c.position, c.position, c.flags);
  } else {
    model.SetBmpToPrint(c.bits, c.width, c.rows, c.position, c.position, c.flags);
  }
}

// The three series' models, made once with their scanners attached: a new model a run would spend far
// more on its image buffers than on printing. Printing leaves no state in the first series' and the
// QV62x models; the later series' host buffer is cleared before each run. The QV62x device keeps nothing.
struct Models {
  Models() {
    plat::UseVirtualClock(0, true);
    drv::DeviceRegistry::Instance().Reset();
    qv6::BulkLayer::Reset();
    qv6::DriverLayer::Reset();
    sim::AttachScanner(sim::Model::kQv600);
    drv::DeviceRegistry::Instance().Attach("\\\\.\\KScanDrv-0", std::make_shared<AcceptingDevice>());
    if (!bulk.Open() || !driver.Open()) std::abort();
  }
  qv6::ScannerInterface bulk;
  qv6::ScannerQV62xInterface driver;
  qv6::ScannerQV63xInterface unopened;  // the later series print on the host only
  qv6::Qv600 first{bulk};
  qv6::Qv702 qv62x{driver};
  qv6::Qv630 later{unopened};
  qv6::Qv603 mirrored{unopened};
};

Models& TheModels() {
  static Models* models = new Models();
  return *models;
}

template <class Model>
void ClearHostBuffer(Model& model) {
  static const uint8_t kNoBits = 0;
  model.SetBmpToPrint(&kNoBits, 0, 0, 0, 0, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const std::span<const uint8_t> rest(data + 8, size - 8);
  Call c;
  c.flags = data[1];
  c.position = static_cast<int16_t>(data[2] | (data[3] << 8));
  c.width = data[4] | (data[5] << 8);
  c.rows = static_cast<int8_t>(data[6]);
  std::vector<uint8_t> bits;
  std::vector<char> text;
  switch (data[7] % 3) {
    case 0: {
      // Rows of ((width + 31) / 32) x 4 bytes, as many as the caller says it has.
      const size_t bytes = c.width > 0 && c.rows > 0 ? size_t(c.width + 31) / 32 * 4 * size_t(c.rows) : 0;
      bits.resize(std::max<size_t>(bytes, 1));
      for (size_t i = 0; i < bits.size() && !rest.empty(); ++i) bits[i] = rest[i % rest.size()];
      c.bits = bits.data();
      break;
    }
    case 1:
      text.assign(rest.begin(), rest.end());
      c.text = text.empty() ? "" : text.data();
      c.length = static_cast<int>(text.size()) - (data[6] & 1);  // sometimes shorter than the bytes
      break;
    default:
      break;
  }
  Models& m = TheModels();
  switch (data[0] & 3) {
    case 0:
      // A new simulated scanner each run: it logs what it receives, which would otherwise grow from run
      // to run (and make every run a leak check).
      m.bulk.Close();
      sim::AttachScanner(sim::Model::kQv600);
      if (!m.bulk.Open()) std::abort();
      Print(m.first, c);
      break;
    case 1:
      Print(m.qv62x, c);
      break;
    case 2:
      ClearHostBuffer(m.later);
      Print(m.later, c);
      break;
    default:
      ClearHostBuffer(m.mirrored);
      Print(m.mirrored, c);
      break;
  }
  return 0;
}
