// A tiny device for the driver-layer tests: device control echoes the input into the output buffer,
// reads give a counting pattern, writes are kept.
#pragma once

#include <algorithm>
#include <vector>

#include "driver/sim_device.h"

namespace drv::testing {

class EchoDevice : public SimDevice {
 public:
  Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    lastCode = code;
    ++calls;
    size_t n = std::min(in.size(), out.size());
    std::copy_n(in.begin(), n, out.begin());
    return Reply::Done(n);
  }
  Reply Read(std::span<uint8_t> out) override {
    ++calls;
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i);
    return Reply::Done(out.size());
  }
  Reply Write(std::span<const uint8_t> data) override {
    ++calls;
    written.insert(written.end(), data.begin(), data.end());
    return Reply::Done(data.size());
  }
  void OnOpen() override { ++opens; }
  void OnClose() override { ++closes; }

  uint32_t lastCode = 0;
  int calls = 0;
  int opens = 0;
  int closes = 0;
  std::vector<uint8_t> written;
};

}  // namespace drv::testing
