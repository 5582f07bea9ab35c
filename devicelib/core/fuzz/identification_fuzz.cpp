// Fuzz entry for the later series' identity read: the 20-byte identification reply, the identity block
// and the second identification a generic model text asks for, all answered from the input, through
// each series' rules into a caller buffer of the size the input chooses.
//
// Layout: byte 0 the series (QV62x, QV63x, QV64x, QV9120, VEKQv5xx, KQv8x), byte 1 the caller's buffer
// size less one, then the replies in turn, each a length byte and that many bytes. The buffer is an
// exact-size heap block, so a write past it is caught; what the read leaves there must parse as an identity.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "connect/identification.h"
#include "driver/device_registry.h"
#include "driver/sim_device.h"
#include "identity/identity_block.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"

namespace {

// Device-to-host requests take the next length-prefixed reply; host-to-device ones are accepted.
class ReplyDevice : public drv::SimDevice {
 public:
  explicit ReplyDevice(std::span<const uint8_t> data) : data_(data) {}

  drv::Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    if (code == 0x222051 || (code == 0x222059 && !in.empty() && in[0] == 0))
      return drv::Reply::Done(out.size());
    if (at_ >= data_.size()) return drv::Reply::Fail(drv::kErrorGenFailure);
    const size_t n = std::min<size_t>({data_[at_++], out.size(), data_.size() - at_});
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(at_), n, out.begin());
    at_ += n;
    return drv::Reply::Done(n);
  }

 private:
  std::span<const uint8_t> data_;
  size_t at_ = 0;
};

class Transport : public qv6::DriverDeviceInterface {
 public:
  explicit Transport(uint32_t pieceSize) : DriverDeviceInterface(pieceSize) {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using qv6::SeriesId;
  if (size < 2) return 0;
  static constexpr SeriesId kSeries[] = {SeriesId::kQv62x,  SeriesId::kQv63x,    SeriesId::kQv64x,
                                         SeriesId::kQv9120, SeriesId::kVekQv5xx, SeriesId::kKQv8x};
  const SeriesId series = kSeries[data[0] % std::size(kSeries)];
  const qv6::IdentificationRules* rules = qv6::RulesFor(series);
  if (rules == nullptr) __builtin_trap();

  drv::DeviceRegistry::Instance().Reset();
  qv6::DriverLayer::Reset();
  drv::DeviceRegistry::Instance().Attach(
      "\\\\.\\KScanDrv-0", std::make_shared<ReplyDevice>(std::span<const uint8_t>(data + 2, size - 2)));
  // The VEKQv5xx moves vendor requests in 128-byte pieces, the others in 2048.
  Transport transport(series == SeriesId::kVekQv5xx ? 128 : qv6::DriverDeviceInterface::kStandardPieceSize);
  if (transport.Open()) {
    std::vector<uint8_t> buffer(size_t{1} + data[1]);
    const int ok = qv6::IdentifyLaterSeries(transport, *rules, buffer.data(), buffer.size());
    if (ok != 0 && ok != 1) __builtin_trap();
    const qv6::CQv6Info info(buffer.data(), buffer.size());
    (void)qv6::CQv6Info::ParseVersion(info.version());
    transport.Close();
  }
  drv::DeviceRegistry::Instance().Reset();
  return 0;
}
