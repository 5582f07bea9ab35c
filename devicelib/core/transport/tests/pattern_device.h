// A device for the transport tests: replies to commands with a configurable reply, fills every read with a
// counting pattern, accepts every write, and keeps what it was sent.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "driver/device_registry.h"
#include "driver/sim_device.h"

namespace qv6::testing {

class PatternDevice : public drv::SimDevice {
 public:
  drv::Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    (void)in;
    // Later-series requests: a device-to-host block or pipe read is filled completely.
    bool deviceToHost =
        code == 0x22204E || code == 0x222004 || (code == 0x222059 && !in.empty() && in[0] == 1);
    if (code == 0x80002004) {
      size_t n = std::min(reply.size(), out.size());
      std::copy_n(reply.begin(), n, out.begin());
      return drv::Reply::Done(n);
    }
    if (deviceToHost) {
      Fill(out);
      return drv::Reply::Done(out.size());
    }
    received.insert(received.end(), out.begin(), out.end());
    return drv::Reply::Done(out.size());
  }
  drv::Reply Read(std::span<uint8_t> out) override {
    Fill(out);
    return drv::Reply::Done(out.size());
  }
  drv::Reply Write(std::span<const uint8_t> data) override {
    received.insert(received.end(), data.begin(), data.end());
    return drv::Reply::Done(data.size());
  }

  static void Fill(std::span<uint8_t> out) {
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i * 7 + 1);
  }

  std::vector<uint8_t> reply = {1, 0, 0, 4, 'a', 'b', 'c', 'd'};
  std::vector<uint8_t> received;
};

// The trace records of one kind, with opens and closes left out unless asked for.
inline std::vector<drv::TraceRecord> Calls(drv::CallKind kind) {
  std::vector<drv::TraceRecord> calls;
  for (auto& record : drv::DeviceRegistry::Instance().Trace()) {
    if (record.kind == kind) calls.push_back(record);
  }
  return calls;
}

// A fixture for one transport over a PatternDevice: each test starts with an empty registry and handle
// table, the device attached under `name`, `scanner` open on it through `Layer` and the trace cleared.
template <class Layer, class Interface>
class PatternDeviceTest : public ::testing::Test {
 protected:
  explicit PatternDeviceTest(const char* name) : name_(name) {}

  void SetUp() override {
    drv::DeviceRegistry::Instance().Reset();
    drv::DeviceRegistry::Instance().SetTraceEnabled(true);  // call patterns are read from it
    Layer::Reset();
    device = std::make_shared<PatternDevice>();
    drv::DeviceRegistry::Instance().Attach(name_, device);
    ASSERT_EQ(scanner.Open(), 1);
    drv::DeviceRegistry::Instance().ClearTrace();
  }
  void TearDown() override {
    scanner.Close();
    drv::DeviceRegistry::Instance().Reset();
  }
  void AddFault(const drv::Fault& fault) const { drv::DeviceRegistry::Instance().AddFault(name_, fault); }

  std::shared_ptr<PatternDevice> device;
  Interface scanner;

 private:
  const char* name_;
};

}  // namespace qv6::testing
