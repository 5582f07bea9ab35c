// Fuzz target for the transports' reply handling: a device whose every answer (success, failure, reported
// count, data) comes from the fuzz input, behind the first-series commands and bulk transfers and every
// request type of the later series' transfer routine. Buffers carry guard bytes; the transports must stay
// inside them and must end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "driver/device_io.h"
#include "driver/device_registry.h"
#include "platform/clock.h"
#include "transport/bulk_layer.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"
#include "transport/scanner_interface.h"

namespace {

class ScriptedDevice : public drv::SimDevice {
 public:
  explicit ScriptedDevice(std::span<const uint8_t> script) : script_(script) {}

  drv::Reply Control(uint32_t, std::span<const uint8_t>, std::span<uint8_t> out) override {
    return Next(out);
  }
  drv::Reply Read(std::span<uint8_t> out) override { return Next(out); }
  drv::Reply Write(std::span<const uint8_t>) override { return Next({}); }

  bool exhausted() const { return pos_ >= script_.size(); }

 private:
  uint8_t Byte() { return pos_ < script_.size() ? script_[pos_++] : 0; }

  drv::Reply Next(std::span<uint8_t> out) {
    // When the script runs out every call fails, so each transfer ends.
    if (exhausted()) return drv::Reply::Fail(drv::kErrorGenFailure);
    uint8_t mode = Byte();
    if ((mode & 3) == 0) return drv::Reply::Fail(mode >> 2);
    size_t count = Byte() | (Byte() << 8);
    if (mode & 4) count = out.size();
    if (mode & 8) count += out.size();  // more than the buffer holds
    size_t fill = std::min(count, out.size());
    for (size_t i = 0; i < fill; ++i) out[i] = Byte();
    return drv::Reply::Done(count);
  }

  std::span<const uint8_t> script_;
  size_t pos_ = 0;
};

constexpr uint8_t kGuard = 0xA5;

struct Guarded {
  explicit Guarded(size_t size) : bytes(size + 64, kGuard), size(size) {}
  uint8_t* data() { return bytes.data(); }
  void Check() const {
    for (size_t i = size; i < bytes.size(); ++i) {
      if (bytes[i] != kGuard) std::abort();
    }
  }
  std::vector<uint8_t> bytes;
  size_t size;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] {
    plat::UseVirtualClock(0, true);  // the 50 ms pauses and 10 s waits pass at once
    return true;
  }();
  (void)once;
  auto& registry = drv::DeviceRegistry::Instance();
  registry.Reset();
  registry.SetTraceEnabled(false);
  qv6::BulkLayer::Reset();
  qv6::DriverLayer::Reset();

  std::span<const uint8_t> script(data, size);
  auto device = std::make_shared<ScriptedDevice>(script);
  registry.Attach(qv6::BulkLayer::kDeviceName, device);
  registry.Attach("\\\\.\\KScanDrv-0", device);

  {
    qv6::ScannerInterface scanner;
    if (scanner.Open()) {
      const uint8_t command[5] = {8, 1, 0, 0, 0};
      Guarded reply(256);
      int replyLength = 0;
      scanner.Transact(command, 5, reply.data(), 256, &replyLength);
      if (replyLength < 0 || replyLength > 256) std::abort();
      reply.Check();
      scanner.SendCommand(command, 5);
      Guarded bulk(9000);
      int read = 0;
      scanner.Read(bulk.data(), 9000, &read);
      if (read < 0 || read > 9000) std::abort();
      bulk.Check();
      std::vector<uint8_t> out(5000, 1);
      scanner.Write(out.data(), 5000, nullptr);
    }
  }

  const uint16_t types[] = {8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 39, 40};
  for (uint32_t pieceSize : {2048u, 128u}) {
    for (uint16_t type : types) {
      if (device->exhausted()) break;
      drv::Handle handle = qv6::DriverLayer::Open(1);
      if (handle == drv::kInvalidHandle) break;
      qv6::RequestRecord record;
      record.type = type;
      record.blockInValue = 1;
      record.pipe = type == 39 ? 0 : 2;
      for (uint32_t length : {0u, 20u, 1000u, 5000u}) {
        Guarded receive(length);
        std::vector<uint8_t> send(length, 0x3C);
        qv6::DriverLayer::Transfer(handle, type, receive.data(), length, send.data(), length, &record,
                                   record.pipe, pieceSize);
        receive.Check();
      }
      qv6::DriverLayer::Close(handle);
    }
  }
  registry.Reset();
  return 0;
}
