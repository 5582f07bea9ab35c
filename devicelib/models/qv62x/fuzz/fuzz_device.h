// A driver device for the QV62x fuzz harnesses: every call is answered from the fuzz input. Replies are
// taken in turn from the bytes (each reply's length chosen by the byte before it), so a harness sees
// identifications, status blocks, device blocks and bulk data that no real scanner would send.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "driver/device_registry.h"
#include "driver/sim_device.h"
#include "qv6/qv62x/qv62x_models.h"
#include "transport/driver_layer.h"

namespace qv6::fuzz {

class ReplyDevice : public drv::SimDevice {
 public:
  explicit ReplyDevice(std::span<const uint8_t> data) : data_(data) {}

  drv::Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    // Host-to-device vendor requests and bulk writes carry data out: accept them.
    if (code == 0x222051 || (code == 0x222059 && !in.empty() && in[0] == 0))
      return drv::Reply::Done(out.size());
    if (at_ >= data_.size()) return drv::Reply::Fail(drv::kErrorGenFailure);
    // Bulk reads take what is left, cycled to the asked length; other replies a length byte first.
    if (code == 0x22204E) {
      for (size_t i = 0; i < out.size(); ++i) out[i] = data_[at_ + i % (data_.size() - at_)];
      return drv::Reply::Done(out.size());
    }
    const size_t n = std::min<size_t>({data_[at_++], out.size(), data_.size() - at_});
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(at_), n, out.begin());
    at_ += n;
    return drv::Reply::Done(n);
  }

 private:
  std::span<const uint8_t> data_;
  size_t at_ = 0;
};

// The model under test on a transport to the reply device.
struct Bench {
  explicit Bench(std::span<const uint8_t> data) : device(std::make_shared<ReplyDevice>(data)) {
    drv::DeviceRegistry::Instance().Reset();
    DriverLayer::Reset();
    drv::DeviceRegistry::Instance().Attach("\\\\.\\KScanDrv-0", device);
    transport.Open();
  }
  ~Bench() {
    transport.Close();
    drv::DeviceRegistry::Instance().Reset();
  }
  std::shared_ptr<ReplyDevice> device;
  ScannerQV62xInterface transport;
};

}  // namespace qv6::fuzz
